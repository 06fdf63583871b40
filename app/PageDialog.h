// A wizard page's window: the dialog of its id from the resources in force, top-level,
// always on top and centred the first time, bound to the page's logic. Windows only.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "app/PageUi.h"
#include "app/WizardFlow.h"
#include "support/PaletteImage.h"

class TPageDialog final : public WizardPage, public PageUi {
public:
    // Makes the dialog, hidden; requests go to `mainWindow`.
    TPageDialog(int id, void* mainWindow);
    ~TPageDialog() override;
    TPageDialog(const TPageDialog&) = delete;
    TPageDialog& operator=(const TPageDialog&) = delete;

    // Binds the page's logic and lets it set the page up.
    void SetLogic(std::unique_ptr<PageLogic> logic);
    void* Handle() const { return window_; }
    int Id() const { return id_; }

    // The dialog's messages: what a dialog procedure returns, 0 for those left to the
    // dialog manager.
    intptr_t Handle(void* window, unsigned message, uintptr_t wParam, intptr_t lParam);

    // WizardPage.
    Point Position() override;
    void PlaceAt(Point at) override;
    void Show() override;
    void Hide() override;
    void Activate() override;
    bool CloseQuery() override;

    // PageUi.
    void PostShowPage(int id) override;
    void SendShowPage(int id) override;
    void SendPrevPage() override;
    void PostPrevPage() override;
    void PostClose() override;
    void PostStartUpload() override;
    void CloseMain() override;
    bool HasPicture(int control) override;
    void SetPicture(int control, Picture picture) override;
    int Ask(int textId, int captionId, unsigned style) override;
    int AskText(const std::string& text, int captionId, unsigned style) override;
    int AskFixed(const std::string& text, const std::string& caption, unsigned style) override;
    void SetDeviceType(uint8_t deviceType) override;
    void SetBold(int control, bool bold) override;
    std::string String(int id) override;
    void Beep() override;
    void BusyCursor(bool busy) override;
    void HideMain() override;
    void DrawCursor(int control, bool black) override;
    void SetChecked(int control, bool checked) override;
    bool IsChecked(int control) override;
    void MoveBy(int control, int dx) override;
    void Focus(int control) override;
    void SetEnabled(int control, bool enabled) override;
    void SetVisible(int control, bool visible) override;
    void SetText(int control, const std::string& text) override;
    std::string GetText(int control) override;
    bool OpenFile(const std::string& directory, const std::string& fileName,
                  const std::string& filter, std::string& chosen) override;
    void StartTimer(int timer, unsigned ms) override;
    void StopTimer(int timer) override;
    void ProcessMessages() override;
    void SetGauge(int control, int position) override;
    void SetGaugeRunning(int control, bool running) override;
    void* Window() override;

private:
    void StyleTexts();
    void PlacePictures();
    void PlaceLogo();
    // Shows `bitmap` (an HBITMAP, now the page's) in a picture control, in place of the last.
    void ShowBitmap(int control, void* bitmap);
    void SizeByResolution(int width, int height);

    int id_;
    void* main_;
    void* window_ = nullptr;
    std::unique_ptr<PageLogic> logic_;
    void* boldFont_ = nullptr;
    void* gaugeFont_ = nullptr;
    std::map<int, void*> bitmaps_;             // the bitmap each picture control shows
    std::map<int, TPaletteImage> paintBoxes_;  // the blinking-cursor pictures
};
