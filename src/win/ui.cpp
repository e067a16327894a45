#include "win/ui.hpp"

#include "win/handle.hpp"

#include <commctrl.h>

#include <memory>

namespace quorvel {

const char* const shape_class_name = "QuorvelShape";
const char* const picture_class_name = "QuorvelPicture";
const char* const centred_label_class_name = "QuorvelCentredLabel";
const char* const pages_class_name = "QuorvelPages";
const char* const page_class_name = "QuorvelPage";

namespace {

constexpr UINT_PTR animation_timer = 1;

// State of the own controls, kept behind GWLP_USERDATA and freed at WM_NCDESTROY.
struct BoxData {
    COLORREF back = GetSysColor(COLOR_BTNFACE);
    std::vector<Image> frames;
    std::vector<int> delays_ms;
    std::size_t current = 0;
    int current_page = 0;
    HFONT font = nullptr;
};

BoxData* data_of(HWND h) {
    return reinterpret_cast<BoxData*>(GetWindowLongPtrA(h, GWLP_USERDATA));
}

LRESULT handle_common(HWND h, UINT msg, WPARAM wp, LPARAM lp, bool* handled) {
    *handled = true;
    switch (msg) {
    case WM_NCCREATE:
        SetWindowLongPtrA(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new BoxData));
        return DefWindowProcA(h, msg, wp, lp);
    case WM_NCDESTROY: {
        delete data_of(h);
        SetWindowLongPtrA(h, GWLP_USERDATA, 0);
        return DefWindowProcA(h, msg, wp, lp);
    }
    case WM_ERASEBKGND: {
        BoxData* d = data_of(h);
        RECT r;
        GetClientRect(h, &r);
        UniqueGdi<HBRUSH> brush(CreateSolidBrush(d ? d->back : GetSysColor(COLOR_BTNFACE)));
        FillRect(reinterpret_cast<HDC>(wp), &r, brush.get());
        return 1;
    }
    case WM_SETFONT:
        if (BoxData* d = data_of(h)) d->font = reinterpret_cast<HFONT>(wp);
        if (LOWORD(lp)) InvalidateRect(h, nullptr, TRUE);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(data_of(h) ? data_of(h)->font : nullptr);
    default:
        *handled = false;
        return 0;
    }
}

LRESULT CALLBACK shape_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    bool handled;
    LRESULT r = handle_common(h, msg, wp, lp, &handled);
    if (handled) return r;
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        if (GetWindowLongA(h, GWL_STYLE) & shape_etched_top_line) {
            RECT rc;
            GetClientRect(h, &rc);
            RECT dark = {rc.left, rc.top, rc.right, rc.top + 1};
            RECT light = {rc.left, rc.top + 1, rc.right, rc.top + 2};
            FillRect(dc, &dark, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
            FillRect(dc, &light, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        }
        EndPaint(h, &ps);
        return 0;
    }
    if (msg == WM_NCHITTEST) return HTTRANSPARENT;
    return DefWindowProcA(h, msg, wp, lp);
}

void paint_picture(HWND h, HDC dc, BoxData& d) {
    if (d.frames.empty()) return;
    const Image& img = d.frames[d.current % d.frames.size()];
    if (img.width <= 0 || img.height <= 0) return;
    std::vector<unsigned char> bgra =
        blend_to_bgra(img, GetRValue(d.back), GetGValue(d.back), GetBValue(d.back));
    int x = 0, y = 0;
    if (GetWindowLongA(h, GWL_STYLE) & picture_centre_fit) {
        RECT rc;
        GetClientRect(h, &rc);
        centre_in_box(img.width, img.height, rc.right, rc.bottom, x, y);
    }
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = img.width;
    bi.bmiHeader.biHeight = -img.height; // top-down rows
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    SetDIBitsToDevice(dc, x, y, img.width, img.height, 0, 0, 0, img.height, bgra.data(), &bi,
                      DIB_RGB_COLORS);
}

LRESULT CALLBACK picture_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    bool handled;
    LRESULT r = handle_common(h, msg, wp, lp, &handled);
    if (handled) return r;
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        if (BoxData* d = data_of(h)) paint_picture(h, dc, *d);
        EndPaint(h, &ps);
        return 0;
    }
    case WM_TIMER:
        if (wp == animation_timer) {
            BoxData* d = data_of(h);
            if (d && !d->frames.empty()) {
                d->current = (d->current + 1) % d->frames.size();
                int delay = d->delays_ms[d->current];
                SetTimer(h, animation_timer, delay > 0 ? delay : 100, nullptr);
                InvalidateRect(h, nullptr, TRUE);
            }
            return 0;
        }
        break;
    case WM_NCHITTEST:
        return HTTRANSPARENT;
    }
    return DefWindowProcA(h, msg, wp, lp);
}

LRESULT CALLBACK centred_label_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    bool handled;
    LRESULT r = handle_common(h, msg, wp, lp, &handled);
    if (handled) return r;
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        BoxData* d = data_of(h);
        char text[1024];
        int n = GetWindowTextA(h, text, sizeof text);
        RECT rc;
        GetClientRect(h, &rc);
        HGDIOBJ old = d && d->font ? SelectObject(dc, d->font) : nullptr;
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(0, 0, 0));
        RECT measure = rc;
        DrawTextA(dc, text, n, &measure, DT_CENTER | DT_WORDBREAK | DT_CALCRECT);
        int text_height = measure.bottom - measure.top;
        RECT place = rc;
        if (text_height < rc.bottom) place.top = (rc.bottom - text_height) / 2;
        DrawTextA(dc, text, n, &place, DT_CENTER | DT_WORDBREAK);
        if (old) SelectObject(dc, old);
        EndPaint(h, &ps);
        return 0;
    }
    case WM_SETTEXT: {
        LRESULT res = DefWindowProcA(h, msg, wp, lp);
        InvalidateRect(h, nullptr, TRUE);
        return res;
    }
    case WM_NCHITTEST:
        return HTTRANSPARENT;
    }
    return DefWindowProcA(h, msg, wp, lp);
}

// Pages and their container pass their children's notifications on to the window.
LRESULT CALLBACK pages_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    bool handled;
    LRESULT r = handle_common(h, msg, wp, lp, &handled);
    if (handled) return r;
    switch (msg) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
        return SendMessageA(GetParent(h), msg, wp, lp);
    }
    return DefWindowProcA(h, msg, wp, lp);
}

// Progress bars of a draggable window must not take the mouse.
WNDPROC original_progress_proc = nullptr;
LRESULT CALLBACK see_through_progress_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCHITTEST) return HTTRANSPARENT;
    return CallWindowProcA(original_progress_proc, h, msg, wp, lp);
}

void register_class(const char* name, WNDPROC proc) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.lpszClassName = name;
    RegisterClassExA(&wc);
}

} // namespace

void register_toolkit_classes() {
    static bool done = false;
    if (done) return;
    done = true;
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    register_class(shape_class_name, shape_proc);
    register_class(picture_class_name, picture_proc);
    register_class(centred_label_class_name, centred_label_proc);
    register_class(pages_class_name, pages_proc);
    register_class(page_class_name, pages_proc);
}

std::vector<HWND> create_controls(HWND window, const ControlSpec* specs, std::size_t count,
                                  HFONT font) {
    register_toolkit_classes();
    std::vector<HWND> made(count, nullptr);
    HINSTANCE inst = GetModuleHandleA(nullptr);
    for (std::size_t i = 0; i < count; ++i) {
        const ControlSpec& s = specs[i];
        HWND parent = s.parent < 0 ? window : made[static_cast<std::size_t>(s.parent)];
        const char* cls = nullptr;
        DWORD style = WS_CHILD | WS_VISIBLE | s.style;
        DWORD ex = s.ex_style;
        switch (s.kind) {
        case ControlKind::label:
            cls = "STATIC";
            style |= SS_LEFT;
            break;
        case ControlKind::centred_label:
            cls = centred_label_class_name;
            break;
        case ControlKind::edit:
            cls = "EDIT";
            ex |= WS_EX_CLIENTEDGE;
            break;
        case ControlKind::button:
            cls = "BUTTON";
            style |= BS_PUSHBUTTON;
            break;
        case ControlKind::progress:
            cls = PROGRESS_CLASSA;
            break;
        case ControlKind::shape:
            cls = shape_class_name;
            break;
        case ControlKind::picture:
            cls = picture_class_name;
            break;
        case ControlKind::pages:
        case ControlKind::page:
            cls = s.kind == ControlKind::pages ? pages_class_name : page_class_name;
            // Tab moves into the pages' controls.
            ex |= WS_EX_CONTROLPARENT;
            break;
        }
        HWND h = CreateWindowExA(
            ex, cls, s.text ? s.text : "", style, s.left, s.top, s.width, s.height, parent,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(s.id)), inst, nullptr);
        made[i] = h;
        if (!h) continue;
        if (font) SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (s.kind == ControlKind::progress) SendMessageA(h, PBM_SETRANGE32, 0, 100);
        if (s.kind == ControlKind::page) {
            // The first page of a container is current; the others are hidden.
            HWND container = parent;
            if (pages_page(container, 0) != h) ShowWindow(h, SW_HIDE);
        }
    }
    return made;
}

void make_progress_see_through(HWND progress) {
    WNDPROC old = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        progress, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(see_through_progress_proc)));
    if (old != see_through_progress_proc) original_progress_proc = old;
}

void set_back_colour(HWND control, COLORREF colour) {
    if (BoxData* d = data_of(control)) {
        d->back = colour;
        InvalidateRect(control, nullptr, TRUE);
    }
}

COLORREF back_colour(HWND control) {
    BoxData* d = data_of(control);
    return d ? d->back : CLR_INVALID;
}

void picture_set_image(HWND picture, const Image& image) {
    BoxData* d = data_of(picture);
    if (!d) return;
    KillTimer(picture, animation_timer);
    d->frames.assign(1, image);
    d->delays_ms.assign(1, 0);
    d->current = 0;
    InvalidateRect(picture, nullptr, TRUE);
}

void picture_set_animation(HWND picture, const GifAnimation& animation) {
    BoxData* d = data_of(picture);
    if (!d || animation.frames.empty()) return;
    RECT rc;
    GetClientRect(picture, &rc);
    bool fit = GetWindowLongA(picture, GWL_STYLE) & picture_centre_fit;
    d->frames.clear();
    for (const Image& f : animation.frames)
        d->frames.push_back(fit ? scale_to_fit(f, rc.right, rc.bottom) : f);
    d->delays_ms = animation.delays_ms;
    d->delays_ms.resize(d->frames.size(), 100);
    d->current = 0;
    if (d->frames.size() > 1) {
        int delay = d->delays_ms[0];
        SetTimer(picture, animation_timer, delay > 0 ? delay : 100, nullptr);
    }
    InvalidateRect(picture, nullptr, TRUE);
}

int picture_current_frame(HWND picture) {
    BoxData* d = data_of(picture);
    return d ? static_cast<int>(d->current) : -1;
}

HWND pages_page(HWND pages, int index) {
    int i = 0;
    for (HWND c = GetWindow(pages, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        char cls[64];
        GetClassNameA(c, cls, sizeof cls);
        if (lstrcmpiA(cls, page_class_name) != 0) continue;
        if (i++ == index) return c;
    }
    return nullptr;
}

void pages_set_current(HWND pages, int index) {
    BoxData* d = data_of(pages);
    if (!d || !pages_page(pages, index)) return;
    d->current_page = index;
    for (int i = 0; HWND p = pages_page(pages, i); ++i)
        ShowWindow(p, i == index ? SW_SHOW : SW_HIDE);
}

int pages_current(HWND pages) {
    BoxData* d = data_of(pages);
    return d ? d->current_page : -1;
}

} // namespace quorvel
