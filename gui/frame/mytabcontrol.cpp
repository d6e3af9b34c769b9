#include "gui/frame/mytabcontrol.h"

#include "frame/tooltable.h"
#include "gui/frame/pictures.h"

#include <QAbstractButton>
#include <QAction>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>

namespace telmira {

// The tab's picture: pressed on the active tab it shows the pressed mark; a click closes the
// tool when its tab is active and selects the tab otherwise.
class TMyTabControl::TabPicture : public QAbstractButton {
public:
    explicit TabPicture(TMyTabControl& owner) : owner_(owner) {
        setFixedSize(16, 16);
        setFocusPolicy(Qt::NoFocus);
        setCursor(Qt::PointingHandCursor);
    }
    void setImage(int image) {
        image_ = image;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const bool pressed = isDown() && owner_.Active();
        painter.drawPixmap(0, 0, tabPicture(image_ + (pressed ? kTabImagePressed : 0)));
    }

private:
    TMyTabControl& owner_;
    int image_ = kTabImageSaved;
};

TabHost::~TabHost() = default;

TMyTabControl::TMyTabControl(const QString& toolName, QObject* parent)
    : QObject(parent), toolName_(toolName) {
    const ToolInfo* tool = toolByName(toolName);
    toolIndex_ = tool ? tool->index : 0;
    if (tool)
        toolName_ = QString::fromLatin1(tool->name);
    scrollBox_ = new QScrollArea;
    scrollBox_->setObjectName(toolName_);
    scrollBox_->setWidgetResizable(true);
    scrollBox_->setFrameShape(QFrame::NoFrame);
    picture_ = new TabPicture(*this);
    connect(picture_.data(), &QAbstractButton::clicked, this, &TMyTabControl::pictureClicked);
    caption_ = tool && tool->menuCommand ? QString::fromUtf8(tool->menuCommand) : toolName_;
    refreshPicture();
}

TMyTabControl::~TMyTabControl() {
    if (menuCommand_) {
        menuCommand_->setChecked(false);
        if (const ToolInfo* tool = toolByIndex(toolIndex_))
            menuCommand_->setIcon(toolMenuIcon(tool->picture, false));
    }
    // The scroll box takes the tab, its picture and the tool's widgets with it.
    delete scrollBox_.data();
    if (picture_ && !picture_->parent())
        delete picture_.data();
}

void TMyTabControl::SetPageControl(QTabWidget* pages, TabHost* host) {
    pages_ = pages;
    host_ = host;
    if (!pages_)
        return;
    const int index = pages_->addTab(scrollBox_, caption_);
    pages_->tabBar()->setTabButton(index, QTabBar::LeftSide, picture_.data());
    pages_->setTabVisible(index, visible_);
}

void TMyTabControl::SetMenuCommand(QAction* command) {
    menuCommand_ = command;
    if (menuCommand_) {
        menuCommand_->setChecked(visible_);
        if (const ToolInfo* tool = toolByIndex(toolIndex_))
            menuCommand_->setIcon(toolMenuIcon(tool->picture, visible_));
    }
}

void TMyTabControl::SetCaption(const QString& caption) {
    caption_ = caption;
    if (pages_ && PageIndex() >= 0)
        pages_->setTabText(PageIndex(), caption);
}

void TMyTabControl::SetPageIndex(int index) {
    const int from = PageIndex();
    if (from < 0 || index < 0 || index >= pages_->count())
        return;
    pages_->tabBar()->moveTab(from, index);
}

int TMyTabControl::PageIndex() const {
    return pages_ ? pages_->indexOf(scrollBox_) : -1;
}

void TMyTabControl::SetVisible(bool visible) {
    visible_ = visible;
    SetMenuCommand(menuCommand_);
    if (pages_ && PageIndex() >= 0)
        pages_->setTabVisible(PageIndex(), visible);
}

void TMyTabControl::SetChanged(bool changed) {
    changed_ = changed;
    refreshPicture();
    if (host_)
        host_->ToolChanged(*this, changed);
}

void TMyTabControl::SetActive(bool active) {
    active_ = active;
    refreshPicture();
}

void TMyTabControl::CommandReply(const QByteArray&) {}

void TMyTabControl::SaveScrollPosition() {
    if (scrollBox_)
        scrollPosition_ = scrollBox_->verticalScrollBar()->value();
}

void TMyTabControl::RestoreScrollPosition() {
    if (scrollBox_)
        scrollBox_->verticalScrollBar()->setValue(scrollPosition_);
}

QAbstractButton* TMyTabControl::PictureButton() const {
    return picture_.data();
}

int TMyTabControl::TabImage() const {
    return tabImage(toolIndex_, active_, changed_, false);
}

void TMyTabControl::pictureClicked() {
    if (!active_) {
        if (pages_)
            pages_->setCurrentWidget(scrollBox_);
        return;
    }
    if (host_)
        host_->ToolPictureClicked(*this);
}

void TMyTabControl::refreshPicture() {
    if (picture_)
        picture_->setImage(TabImage());
}

} // namespace telmira
