#pragma once

// The item editor: the small window in which the user adds, updates or removes one launcher item
// and chooses its icon. Made once at start-up, hidden between uses and always shown modally over
// the picture. It writes straight into the launcher list and the settings file and has the menu
// rebuilt after every change.

#include "base/color_palette.h"
#include "base/dpi_scale.h"
#include "base/scoped_win.h"
#include "base/window_win.h"
#include "editor/editor_host_win.h"
#include "editor/icon_preview_win.h"
#include "editor/spin_edit_win.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace corvalo {

class DropComboTarget;

inline constexpr wchar_t kItemEditorClass[] = L"CorvaloItemEditor";
inline constexpr wchar_t kIconFileFilter[] = L"Icon Files *.ico|*.ico";

class ItemEditor final : public ProgramWindow {
  public:
    explicit ItemEditor(EditorHost& host);
    ~ItemEditor() override;

    // Readies the common controls the editor's window uses, ahead of its first opening.
    static void PrepareControls();

    HWND Window() const { return Handle(); }

    // Shows the editor and returns when it has closed; the picture takes no input meanwhile.
    void ShowModal();
    bool Showing() const { return showing_; }
    // Closes the editor as its close box does: nothing is stored, both text fields are cleared.
    void Close();

    std::wstring FileNameText() const;
    void SetFileNameText(const std::wstring& text);
    std::wstring CaptionText() const;
    void SetCaptionText(const std::wstring& text);
    SpinEdit& IconIndexField() { return *iconIndex_; }
    IconPreview& Preview() { return *preview_; }
    HWND FileNameField() const { return fileName_; }
    HWND CaptionField() const { return caption_; }
    HWND AddButton() const { return addButton_; }
    HWND RemoveButton() const { return removeButton_; }
    HWND FindIconButton() const { return findIconButton_; }
    HWND AddIconButton() const { return addIconButton_; }
    // The DPI the editor is laid out for: its monitor's, followed when it moves to another.
    int Dpi() const { return dpi_; }
    HFONT Font() const { return font_.Get(); }
    // The colours it is drawn in: the user's light, dark or high-contrast ones, followed live.
    const Palette& Colors() const { return palette_; }
    DropComboTarget& DropTarget() { return *dropTarget_; }

    // Handlers, also reached through the window's messages.
    void OnShow();
    void aCaptionChange();
    void aCaptionKeyDown(WORD key);
    void AddBtnClick();
    void RemoveBtnClick();
    void FormClose();
    void SpinEdit1Change();
    void DropComboTarget1Drop(const std::vector<std::wstring>& files, const std::string& url);
    void TntButton3Click();
    void TntButton2Click();

    // Opens the editor with these fields and returns when it has closed.
    void Edit(const std::wstring& target, const std::wstring& caption);

  private:
    LRESULT OnMessage(const WindowMessage& message) override;
    LRESULT OnCommandMessage(const WindowMessage& message);
    LRESULT OnNotify(const WindowMessage& message);
    LRESULT OnClose(const WindowMessage& message);
    LRESULT OnDpiChanged(const WindowMessage& message);
    LRESULT OnControlColor(const WindowMessage& message);
    LRESULT OnColorsChanged(const WindowMessage& message);
    LRESULT OnEraseBackground(const WindowMessage& message);
    // Takes the user's colours of now: the palette, its brushes, the controls' and title bar's
    // themes, and the preview's background.
    void ApplyColors();
    LRESULT OnGetDpiScaledSize(const WindowMessage& message);
    UserMessages& Messages() override { return host_.Messages(); }
    // Enter in the caption field is ADD/UPDATE: taken before the dialog keys see it.
    bool TakeCaptionEnter(const MSG& message);
    void CreateControls();
    // Positions and sizes are lengths at 96 dpi, kept so that the editor can be laid out again.
    HWND AddControl(const wchar_t* controlClass, const wchar_t* text, DWORD style, int id, int x,
                    int y, int width, int height, DWORD extendedStyle = 0);
    HWND AddLabel(const wchar_t* text, int x, int y);
    // Places the window and every control for `dpi`, with the font made for it.
    void LayOut(int dpi);
    SIZE WindowSizeAt(int dpi) const;
    SIZE LabelSize(HWND label) const;
    void ShowSystemIconOf(const std::wstring& fileName);
    void OnCommand(int id, int code);

    // Where a control sits at 96 dpi; a label's size (0 here) follows its text in the font.
    struct Placement {
        HWND window;
        RECT at96;
    };

    EditorHost& host_;
    int dpi_ = kBaseDpi;
    ScopedFont font_;
    std::vector<Placement> placements_;
    Palette palette_;
    ScopedBrush backgroundBrush_;
    ScopedBrush fieldBrush_;
    bool darkThemed_ = false;  // the controls and the title bar were given the dark theme
    HWND fileName_ = nullptr;
    HWND caption_ = nullptr;
    HWND addButton_ = nullptr;
    HWND removeButton_ = nullptr;
    HWND findIconButton_ = nullptr;
    HWND addIconButton_ = nullptr;
    std::unique_ptr<SpinEdit> iconIndex_;
    std::unique_ptr<IconPreview> preview_;
    std::unique_ptr<DropComboTarget> dropTarget_;
    bool created_ = false;
    bool showing_ = false;
    bool closeRequested_ = false;
    // The first showing centres the editor on the screen; later ones keep where the user left it.
    bool placed_ = false;
};

}  // namespace corvalo
