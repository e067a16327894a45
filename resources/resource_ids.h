/* Resource numbers shared by the resource script and the code. */
#pragma once
#define IDI_QUORVEL 1
#define IDR_LOGO_PNG 101
#define IDR_BUSY_GIF 102
#define IDR_TOOL_ARCHIVE 103
