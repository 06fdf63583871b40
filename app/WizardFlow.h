// How the wizard goes from page to page: eight pages, each its own window, shown one at a
// time by the main window when a page asks for another by id or for the one before it. A page
// shown forward appears where the page before it stood and remembers it for Back; pages are
// only shown and hidden, never made again, so each keeps its state between visits.
#pragma once

#include <cstdint>
#include <map>

struct win32_cfg_type;

namespace page {
enum Id : int {
#define PAGE(id, name, cls, caption) name = id,
#include "app/Pages.def"
#undef PAGE
};
inline constexpr Id kAll[] = {
#define PAGE(id, name, cls, caption) name,
#include "app/Pages.def"
#undef PAGE
};
// The class and English caption of a page; nullptr for an id that is no page.
const char* ClassName(int id);
const char* Caption(int id);
}  // namespace page

// The wizard's window messages.
namespace um {
constexpr uint32_t ShowPage = 3024;     // to the main window: show the page whose id is wParam
constexpr uint32_t PrevPage = 3025;     // to the main window: back to the page before
constexpr uint32_t Activate = 2024;     // to a page: it has just been shown; do its entry work
constexpr uint32_t Progress = 2026;     // to the upload page: lParam is the progress value
constexpr uint32_t StartUpload = 2027;  // to the upload page: start the upload
}  // namespace um

// What the flow needs of a page window.
class WizardPage {
public:
    struct Point {
        int left = 0, top = 0;
        bool operator==(const Point&) const = default;
    };

    virtual ~WizardPage() = default;
    virtual Point Position() = 0;
    // Fixes the page at its designed position mode and puts its top left corner at `at`.
    virtual void PlaceAt(Point at) = 0;
    // Shows the page and repaints it at once.
    virtual void Show() = 0;
    virtual void Hide() = 0;
    // Sends the page the activate message and returns once its entry work is done.
    virtual void Activate() = 0;
    // Whether the page lets the program end now.
    virtual bool CloseQuery() = 0;

    // The page that was current when this one was last shown forward: the page for Back.
    WizardPage* Tag = nullptr;
};

class TWizardFlow {
public:
    void AddPage(int id, WizardPage& page);

    // The first page: the connection page when started with "-M", else the welcome page.
    static int FirstPage(const win32_cfg_type& settings);

    // Shows the page of `id` where the current one stands and remembers the current one in
    // its Tag; false (nothing changes) for an id that is no page.
    bool ShowPage(int id);
    // Shows the page in the current page's Tag, at its own position, without touching any
    // Tag; false when there is none to go back to.
    bool PrevPage();
    // Whether the program may end now: the current page decides.
    bool CloseQuery();

    WizardPage* Current() const { return current_; }
    int CurrentId() const;

private:
    std::map<int, WizardPage*> pages_;
    WizardPage* current_ = nullptr;
};
