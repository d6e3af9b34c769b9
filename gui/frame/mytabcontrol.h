#pragma once

#include "frame/replyaddressee.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <QAbstractButton>
#include <QAction>
#include <QScrollArea>
#include <QTabWidget>

class QMenu;

// `TMyTabControl`: the base of every tool of the main window (archives, phone book, layouts,
// variables, phone settings, melody sets, city codes, automatic settings). A tool owns a scroll
// box, its client area, which is its tab sheet in the main window's tab control; the tab shows a
// picture that closes the tool when the tab is active. Tools override `CommandReply` to take
// the phone's replies addressed to them and the hooks below for the main window's events.
namespace telmira {

class TMyTabControl;

// What a tool asks of the main window.
class TabHost {
public:
    virtual ~TabHost();
    // The tool's unsaved-changes flag was set or cleared (title mark, Save button).
    virtual void ToolChanged(TMyTabControl& tool, bool changed) = 0;
    // The picture of the tool's active tab was clicked: the tool closes.
    virtual void ToolPictureClicked(TMyTabControl& tool) = 0;
};

class TMyTabControl : public QObject, public ReplyAddressee {
    Q_OBJECT
public:
    // `toolName` names an entry of the tool table (tooltable.h).
    explicit TMyTabControl(const QString& toolName, QObject* parent = nullptr);
    ~TMyTabControl() override;

    // The client area; a tool puts its widgets into it. It is also the tool's tab sheet.
    QScrollArea* ScrollBox() const { return scrollBox_; }
    const QString& ToolName() const { return toolName_; }
    int ToolIndex() const { return toolIndex_; }

    // Places the tab sheet into the tab control (hidden until SetVisible) and names the host.
    void SetPageControl(QTabWidget* pages, TabHost* host);
    QTabWidget* PageControl() const { return pages_; }
    // The Tools menu command that mirrors the tool's visibility (none for the automatic
    // settings).
    void SetMenuCommand(QAction* command);
    QAction* MenuCommand() const { return menuCommand_; }
    void SetCaption(const QString& caption);
    const QString& Caption() const { return caption_; }
    // The tab's position among all tabs of the tab control.
    void SetPageIndex(int index);
    int PageIndex() const;

    // Shows or hides the tab; checks the menu command and gives it the open or closed picture.
    void SetVisible(bool visible);
    bool IsVisible() const { return visible_; }
    // Unsaved changes: the active tab's mark, the title's "*" and the Save button.
    virtual void SetChanged(bool changed);
    bool Changed() const { return changed_; }
    void SetActive(bool active);
    bool Active() const { return active_; }

    // Replies addressed to the tool; the base does nothing with them.
    void CommandReply(const QByteArray& buffer) override;

    // The vertical scroll position, kept while the tab is left and given back when it comes
    // back (a tool that rebuilds its page restores it too).
    void SaveScrollPosition();
    void RestoreScrollPosition();
    int ScrollPosition() const { return scrollPosition_; }

    // The picture the tab shows now (tab image list index).
    int TabImage() const;
    QAbstractButton* PictureButton() const;

    // --- hooks of the main window; the base does nothing ---
    // Buttons of the main toolbar and menus of the menu bar shown while the tool is active.
    virtual QList<QAction*> ToolbarActions() const { return {}; }
    virtual QList<QMenu*> ToolMenus() const { return {}; }
    // The tab becomes current / stops being current.
    virtual void Entering() {}
    virtual void Leaving() {}
    // The application closes: ask about unsaved changes; false cancels the close.
    virtual bool QueryClose() { return true; }
    // The Save button while the tool's own data is what it saves (the city-code directory).
    virtual void SaveChanges() {}
    // The link came up or was lost.
    virtual void LinkStateChanged(bool connected) { (void)connected; }
    // A reply to `command` arrives next (an import from the phone may begin with it).
    virtual void PrepareReply(int command) { (void)command; }
    // The day changed (posted by the link at midnight).
    virtual void DayChanged() {}
    // The phone reports changed variables.
    virtual void PhoneVariablesChanged() {}

private:
    void pictureClicked();
    void refreshPicture();

    QString toolName_;
    int toolIndex_ = 0;
    QPointer<QScrollArea> scrollBox_;
    QPointer<QTabWidget> pages_;
    QPointer<QAction> menuCommand_;
    class TabPicture;
    QPointer<TabPicture> picture_;
    TabHost* host_ = nullptr;
    QString caption_;
    bool visible_ = false;
    bool changed_ = false;
    bool active_ = false;
    int scrollPosition_ = 0;
};

} // namespace telmira
