// zel: wires the subsystem libraries together and hands over to the start sequence.
#include "frame/zelstart.h"

int main(int argc, char** argv) {
    telmira::ZelHooks hooks;
    // Later modules lend the start what it needs here: the ROM export (hooks.romExport), the
    // database module (hooks.openDataModule), and the main window's tools by tool name, e.g.
    //   hooks.window.tools.insert("Archives", [](telmira::ToolContext& context) { ... });
    // with the number services and installers of hooks.window. A tool without an entry has
    // its menu command disabled.
    return telmira::zelMain(argc, argv, hooks);
}
