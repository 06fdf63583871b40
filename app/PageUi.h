// What a page's decisions need of its dialog and of the main window: page changes, the end
// of the program, the string manager's questions, and the states of its own controls and
// timers. Each page's logic is a plain class over this interface; the Win32 dialog binds it.
#pragma once

#include <cstdint>
#include <string>

class PageUi {
public:
    virtual ~PageUi() = default;

    // Page changes and the end of the program, by messages to the main window: posted (run
    // once the current message is done) or sent (run now).
    virtual void PostShowPage(int id) = 0;
    virtual void SendShowPage(int id) = 0;
    virtual void SendPrevPage() = 0;
    virtual void PostPrevPage() = 0;
    virtual void PostClose() = 0;
    // Posts the page the start-upload message.
    virtual void PostStartUpload() = 0;
    // Closes the main window now (the program ends unless the current page refuses).
    virtual void CloseMain() = 0;

    // A message box of the string manager (texts by string id); the button pressed.
    virtual int Ask(int textId, int captionId, unsigned style) = 0;
    // The same with a text made here.
    virtual int AskText(const std::string& text, int captionId, unsigned style) = 0;
    // A box whose text and caption are fixed, not from the string table.
    virtual int AskFixed(const std::string& text, const std::string& caption, unsigned style) = 0;
    // A text of the string table in force.
    virtual std::string String(int id) = 0;
    virtual void Beep() = 0;
    // The hourglass while the page works without answering.
    virtual void BusyCursor(bool busy) = 0;
    virtual void HideMain() = 0;

    // The handheld pictures a page shows, composed by the image manager for the device
    // family in force when the picture is filled.
    enum class Picture { Device, LoaderScreen, ResetPrompt, BlankScreen, ResetPromptScreen };
    // The connected handheld's device type, which chooses the pictures of later pages.
    virtual void SetDeviceType(uint8_t deviceType) = 0;
    virtual bool HasPicture(int control) = 0;
    virtual void SetPicture(int control, Picture picture) = 0;
    // Draws the blinking cursor of a blank-screen picture: black, or the screen's own colour.
    virtual void DrawCursor(int control, bool black) = 0;

    virtual void Focus(int control) = 0;
    virtual void SetEnabled(int control, bool enabled) = 0;
    virtual void SetVisible(int control, bool visible) = 0;
    virtual void SetText(int control, const std::string& text) = 0;
    virtual std::string GetText(int control) = 0;
    // The platform's file-open dialog for a file that exists, starting in `directory` (the
    // default one when empty) with `fileName`, listing what `filter` (string 114's form:
    // "Description|pattern") lets through. False when the user cancels.
    virtual bool OpenFile(const std::string& directory, const std::string& fileName,
                          const std::string& filter, std::string& chosen) = 0;
    virtual void SetBold(int control, bool bold) = 0;
    virtual void SetChecked(int control, bool checked) = 0;
    virtual bool IsChecked(int control) = 0;
    // Moves a control `dx` pixels to the right (left when negative).
    virtual void MoveBy(int control, int dx) = 0;
    virtual void StartTimer(int timer, unsigned ms) = 0;
    virtual void StopTimer(int timer) = 0;
    // The progress gauge: its position, and whether it shows its text on the window colour
    // (while an upload runs) or no text on the button face.
    virtual void SetGauge(int control, int position) = 0;
    virtual void SetGaugeRunning(int control, bool running) = 0;
    // The page's own window, to which the engine's progress reports are sent.
    virtual void* Window() = 0;
    // Lets the program handle the window messages waiting for it.
    virtual void ProcessMessages() = 0;
};

// A page's behaviour: its entry work, its buttons, its timers and whether it lets the
// program end.
class PageLogic {
public:
    virtual ~PageLogic() = default;
    // Once, when the wizard starts and the page's window exists.
    virtual void Create() {}
    virtual void Activate() {}
    // A button was pressed.
    virtual void Command(int control) = 0;
    virtual void Timer(int) {}
    // One of the wizard's own messages to the page, with its value.
    virtual void Message(uint32_t, intptr_t) {}
    // The page is hidden.
    virtual void Hidden() {}
    // The close box of the page.
    virtual void CloseBox() = 0;
    virtual bool CloseQuery() { return true; }
};
