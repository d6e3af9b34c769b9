#pragma once

#include <QIcon>
#include <QPixmap>

// The pictures of the main window, drawn at run time: the tab image list, the tools' menu
// pictures, the tray icon's frames and the toolbar's buttons. Need a QGuiApplication.
namespace telmira {

// The tab image list: 0 saved, 1 changed, 2 and 3 the same pressed, 4-10 the tools' pictures.
QPixmap tabPicture(int index);
// A tool's picture for its menu command; `open` draws it as the picture of an open tool.
QIcon toolMenuIcon(int picture, bool open);
// The tray icon's frames: 0-3 connected, 4-7 not connected.
QIcon trayFrameIcon(int frame);

enum class ButtonPicture {
    Application,
    Save,
    Connection,
    LastIncoming, // the last number came in (downward arrow)
    LastDialled,  // the last number was dialled (upward arrow)
    Melody,
};
QIcon buttonIcon(ButtonPicture picture);

} // namespace telmira
