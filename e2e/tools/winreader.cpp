// Reads Morvane's windows from outside, the way the end-to-end tests see them.
//
//   winreader snapshot OUT [TITLE]
//       writes one full snapshot (with the list's items) to OUT and exits.
//   winreader watch OUT STOPFILE [TITLE] [INTERVAL_MS] [MAX_SECONDS] [QUIETFILE]
//       polls every INTERVAL_MS (default 40) and appends a snapshot to OUT each
//       time something changes, and a heartbeat line otherwise, until STOPFILE
//       exists or MAX_SECONDS (default 1800) have passed. While QUIETFILE
//       exists it disturbs the programs as little as it can (so that their CPU
//       time and timing can be measured): it sends them no message, reading only
//       what the window system keeps (the list's fields and the dropped list are
//       left out), and polls only every 250 ms, sparing the wineserver.
//
// Output is UTF-8, one fact per line, tab-separated key=value fields:
//   snap <unix time>           start of a snapshot
//   env acp=936 screen=1920x1080 foreground=0x... quiet=0|1
//   window hwnd= pid= tid= title= class= rect=l,t,r,b visible= enabled= iconic=
//   control parent= id= hwnd= class= rect= visible= enabled= text= [sel= count= dropped=]
//   item parent= index= text= data=                 (snapshot mode only)
//   focus parent= hwnd= id= class= active= flags=    (id 0 when outside the window;
//                                                     flags of GetGUIThreadInfo: 2 moving, 4 menu)
//   droplist parent= rect= client=x,y,w,h itemheight= top= count=
//   closebox parent= rect=       caption parent= point=x,y   (snapshot mode only)
//   notice hwnd= pid= tid= title= class= rect= visible= enabled=
//   noticechild notice= hwnd= id= class= text= rect= visible=
//   end
//   beat <unix time>           nothing changed
//
// Texts are read with the wide calls: across processes Wine truncates a narrow
// CB_GETLBTEXT after the first double-byte character, and the wide form gives
// the characters that the program wrote in code page 936.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tool_support.h"

namespace {

constexpr UINT kSendTimeoutMs = 2000;
bool gQuiet = false;  // read nothing that needs the observed program to answer

std::string hex(const void* p) {
    char b[32];
    std::snprintf(b, sizeof b, "0x%llx", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(p)));
    return b;
}

std::string num(long long v) {
    return std::to_string(v);
}

std::string rectText(const RECT& r) {
    return num(r.left) + "," + num(r.top) + "," + num(r.right) + "," + num(r.bottom);
}

std::string rectOf(HWND h) {
    RECT r{};
    GetWindowRect(h, &r);
    return rectText(r);
}

std::wstring className(HWND h) {
    wchar_t b[256] = {};
    GetClassNameW(h, b, 256);
    return b;
}

// The text that the window system keeps for a window; sends no message.
std::wstring storedText(HWND h) {
    wchar_t b[1024] = {};
    InternalGetWindowText(h, b, 1024);
    return b;
}

bool send(HWND h, UINT msg, WPARAM w, LPARAM l, LRESULT* result) {
    DWORD_PTR r = 0;
    if (!SendMessageTimeoutW(h, msg, w, l, SMTO_ABORTIFHUNG, kSendTimeoutMs, &r)) return false;
    *result = static_cast<LRESULT>(r);
    return true;
}

long long sendValue(HWND h, UINT msg, WPARAM w = 0, LPARAM l = 0) {
    LRESULT r = 0;
    return send(h, msg, w, l, &r) ? static_cast<long long>(r) : -9999;
}

// The text a control reports itself (the edit field of a combo box keeps its
// own text, which the window system does not store).
std::wstring askedText(HWND h) {
    LRESULT len = 0;
    if (!send(h, WM_GETTEXTLENGTH, 0, 0, &len) || len < 0) return L"<no answer>";
    std::vector<wchar_t> b(static_cast<size_t>(len) + 2, L'\0');
    LRESULT got = 0;
    if (!send(h, WM_GETTEXT, b.size(), reinterpret_cast<LPARAM>(b.data()), &got)) return L"<no answer>";
    return std::wstring(b.data());
}

std::wstring itemText(HWND combo, int index) {
    LRESULT len = 0;
    if (!send(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0, &len) || len < 0) return L"<no answer>";
    std::vector<wchar_t> b(static_cast<size_t>(len) + 2, L'\0');
    LRESULT got = 0;
    if (!send(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(b.data()), &got))
        return L"<no answer>";
    return std::wstring(b.data());
}

struct Top {
    HWND hwnd;
    DWORD pid, tid;
};

struct Finder {
    std::wstring title;
    std::vector<Top> mains, notices, dropLists;
};

BOOL CALLBACK collectTop(HWND h, LPARAM lp) {
    auto* f = reinterpret_cast<Finder*>(lp);
    Top t{h, 0, 0};
    t.tid = GetWindowThreadProcessId(h, &t.pid);
    std::wstring cls = className(h);
    if (cls == L"#32770")
        f->notices.push_back(t);
    else if (cls == L"ComboLBox")
        f->dropLists.push_back(t);
    else if (storedText(h) == f->title)
        f->mains.push_back(t);
    return TRUE;
}

struct Children {
    HWND parent;
    std::vector<HWND> list;
};

BOOL CALLBACK collectChild(HWND h, LPARAM lp) {
    auto* c = reinterpret_cast<Children*>(lp);
    if (GetParent(h) == c->parent) c->list.push_back(h);
    return TRUE;
}

BOOL CALLBACK collectAnyChild(HWND h, LPARAM lp) {
    reinterpret_cast<Children*>(lp)->list.push_back(h);
    return TRUE;
}

std::string flags(HWND h) {
    return "\tvisible=" + num(IsWindowVisible(h) ? 1 : 0) + "\tenabled=" + num(IsWindowEnabled(h) ? 1 : 0);
}

// Where the title bar and its close button are, found as the window itself
// answers WM_NCHITTEST, whatever the frame looks like.
void describeFrame(HWND main, const std::string& parent, std::string& out) {
    RECT r{};
    GetWindowRect(main, &r);
    auto hit = [main](LONG x, LONG y) { return sendValue(main, WM_NCHITTEST, 0, MAKELPARAM(x, y)); };
    LONG cx = r.left + (r.right - r.left) / 3, cy = -1;
    for (LONG y = r.top; y < r.top + 40 && y < r.bottom && cy < 0; ++y)
        if (hit(cx, y) == HTCAPTION) cy = y + 4;
    if (cy < 0) return;
    out += "caption\tparent=" + parent + "\tpoint=" + num(cx) + "," + num(cy) + "\n";
    // The close button: along the caption row from the right edge, then up and down its middle.
    LONG right = -1, left = -1;
    for (LONG x = r.right - 1; x > r.right - 60; --x) {
        bool close = hit(x, cy) == HTCLOSE;
        if (close && right < 0) right = x;
        if (close) left = x;
        if (!close && right >= 0) break;
    }
    if (right < 0) return;
    LONG mx = (left + right) / 2, top = cy, bottom = cy;
    while (top > r.top && hit(mx, top - 1) == HTCLOSE) --top;
    while (bottom < r.top + 60 && hit(mx, bottom + 1) == HTCLOSE) ++bottom;
    RECT close{left, top, right + 1, bottom + 1};
    out += "closebox\tparent=" + parent + "\trect=" + rectText(close) + "\n";
}

void describeMain(const Top& m, const Finder& f, bool withItems, std::string& out) {
    std::string parent = hex(m.hwnd);
    out += "window\thwnd=" + parent + "\tpid=" + num(m.pid) + "\ttid=" + num(m.tid) +
           "\ttitle=" + tool::field(storedText(m.hwnd)) + "\tclass=" + tool::field(className(m.hwnd)) +
           "\trect=" + rectOf(m.hwnd) + flags(m.hwnd) + "\ticonic=" + num(IsIconic(m.hwnd) ? 1 : 0) + "\n";

    Children kids{m.hwnd, {}};
    EnumChildWindows(m.hwnd, collectChild, reinterpret_cast<LPARAM>(&kids));
    for (HWND c : kids.list) {
        int id = GetDlgCtrlID(c);
        std::wstring cls = className(c);
        bool combo = !gQuiet && lstrcmpiW(cls.c_str(), L"ComboBox") == 0;
        out += "control\tparent=" + parent + "\tid=" + num(id) + "\thwnd=" + hex(c) +
               "\tclass=" + tool::field(cls) + "\trect=" + rectOf(c) + flags(c) +
               "\ttext=" + tool::field(combo ? askedText(c) : storedText(c));
        if (combo) {
            long long count = sendValue(c, CB_GETCOUNT);
            out += "\tsel=" + num(sendValue(c, CB_GETCURSEL)) + "\tcount=" + num(count) +
                   "\tdropped=" + num(sendValue(c, CB_GETDROPPEDSTATE));
            out += "\n";
            for (int i = 0; withItems && i < count; ++i)
                out +=
                    "item\tparent=" + parent + "\tindex=" + num(i) + "\ttext=" + tool::field(itemText(c, i)) +
                    "\tdata=" + num(static_cast<int>(sendValue(c, CB_GETITEMDATA, static_cast<WPARAM>(i)))) +
                    "\n";
        } else {
            out += "\n";
        }
    }

    GUITHREADINFO gti{};
    gti.cbSize = sizeof gti;
    if (GetGUIThreadInfo(m.tid, &gti)) {
        HWND focus = gti.hwndFocus;
        HWND child = focus;
        while (child && GetParent(child) && GetParent(child) != m.hwnd) child = GetParent(child);
        int id = (child && GetParent(child) == m.hwnd) ? GetDlgCtrlID(child) : 0;
        out += "focus\tparent=" + parent + "\thwnd=" + hex(focus) + "\tid=" + num(id) +
               "\tclass=" + tool::field(focus ? className(focus) : L"") + "\tactive=" + hex(gti.hwndActive) +
               "\tflags=" + num(static_cast<long long>(gti.flags)) + "\n";
    }
    if (withItems) describeFrame(m.hwnd, parent, out);

    for (const Top& d : f.dropLists) {
        if (gQuiet) break;
        if (d.tid != m.tid || !IsWindowVisible(d.hwnd)) continue;
        RECT cr{};
        GetClientRect(d.hwnd, &cr);
        POINT o{0, 0};
        ClientToScreen(d.hwnd, &o);
        out += "droplist\tparent=" + parent + "\thwnd=" + hex(d.hwnd) + "\trect=" + rectOf(d.hwnd) +
               "\tclient=" + num(o.x) + "," + num(o.y) + "," + num(cr.right) + "," + num(cr.bottom) +
               "\titemheight=" + num(sendValue(d.hwnd, LB_GETITEMHEIGHT)) +
               "\ttop=" + num(sendValue(d.hwnd, LB_GETTOPINDEX)) +
               "\tcount=" + num(sendValue(d.hwnd, LB_GETCOUNT)) + "\n";
    }
}

std::string snapshotBody(const std::wstring& title, bool withItems) {
    Finder f{title, {}, {}, {}};
    EnumWindows(collectTop, reinterpret_cast<LPARAM>(&f));
    std::string out = "env\tacp=" + num(GetACP()) + "\tscreen=" + num(GetSystemMetrics(SM_CXSCREEN)) + "x" +
                      num(GetSystemMetrics(SM_CYSCREEN)) + "\tforeground=" + hex(GetForegroundWindow()) +
                      "\tquiet=" + num(gQuiet ? 1 : 0) + "\n";
    for (const Top& m : f.mains) describeMain(m, f, withItems, out);
    for (const Top& n : f.notices) {
        if (!IsWindowVisible(n.hwnd)) continue;
        out += "notice\thwnd=" + hex(n.hwnd) + "\tpid=" + num(n.pid) + "\ttid=" + num(n.tid) +
               "\ttitle=" + tool::field(storedText(n.hwnd)) + "\tclass=" + tool::field(className(n.hwnd)) +
               "\trect=" + rectOf(n.hwnd) + flags(n.hwnd) + "\n";
        Children kids{n.hwnd, {}};
        EnumChildWindows(n.hwnd, collectAnyChild, reinterpret_cast<LPARAM>(&kids));
        for (HWND c : kids.list)
            out += "noticechild\tnotice=" + hex(n.hwnd) + "\thwnd=" + hex(c) +
                   "\tid=" + num(GetDlgCtrlID(c)) + "\tclass=" + tool::field(className(c)) +
                   "\ttext=" + tool::field(storedText(c)) + "\trect=" + rectOf(c) + flags(c) + "\n";
    }
    return out;
}

class Output {
public:
    explicit Output(const std::wstring& path, bool append) {
        file_ = CreateFileW(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    ~Output() {
        if (ok()) CloseHandle(file_);
    }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;
    bool ok() const { return file_ != INVALID_HANDLE_VALUE; }
    void write(const std::string& s) {
        DWORD done = 0;
        WriteFile(file_, s.data(), static_cast<DWORD>(s.size()), &done, nullptr);
    }

private:
    HANDLE file_;
};

std::string stamp(const char* what, double when) {
    char b[64];
    std::snprintf(b, sizeof b, "%s %.6f\n", what, when);
    return b;
}

int usage() {
    std::fputs(
        "usage: winreader snapshot OUT [TITLE]\n"
        "       winreader watch OUT STOPFILE [TITLE] [INTERVAL_MS] [MAX_SECONDS] [QUIETFILE]\n",
        stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage();
    std::string mode = argv[1];
    std::wstring out = tool::wide(argv[2]);
    if (mode == "snapshot") {
        std::wstring title = argc > 3 ? tool::wide(argv[3]) : L"Morvane";
        double seen = tool::unixNow();
        std::string text = stamp("snap", seen) + snapshotBody(title, true) + "end\n";
        Output o(out, false);
        if (!o.ok()) return 1;
        o.write(text);
        return 0;
    }
    if (mode == "watch" && argc >= 4) {
        std::wstring stop = tool::wide(argv[3]);
        std::wstring title = argc > 4 ? tool::wide(argv[4]) : L"Morvane";
        DWORD interval = argc > 5 ? static_cast<DWORD>(std::atoi(argv[5])) : 40;
        double maxSeconds = argc > 6 ? std::atof(argv[6]) : 1800.0;
        std::wstring quietFile = argc > 7 ? tool::wide(argv[7]) : L"";
        Output o(out, false);
        if (!o.ok()) return 1;
        double start = tool::unixNow();
        double lastBeat = 0;
        std::string last;
        while (GetFileAttributesW(stop.c_str()) == INVALID_FILE_ATTRIBUTES &&
               tool::unixNow() - start < maxSeconds) {
            // A snapshot is stamped with the moment its reading began, so that
            // the driver can tell states seen after an action from those before.
            gQuiet = !quietFile.empty() && GetFileAttributesW(quietFile.c_str()) != INVALID_FILE_ATTRIBUTES;
            double seen = tool::unixNow();
            std::string body = snapshotBody(title, false);
            if (body != last) {
                o.write(stamp("snap", seen) + body + "end\n");
                last = body;
                lastBeat = seen;
            } else if (seen - lastBeat >= 0.2) {
                o.write(stamp("beat", seen));
                lastBeat = seen;
            }
            Sleep(gQuiet ? std::max<DWORD>(interval, 250) : interval);
        }
        return 0;
    }
    return usage();
}
