// zel: hands the modules of this build to the start sequence.
#include "app/modules.h"

int main(int argc, char** argv) {
    return telmira::zelMain(argc, argv, telmira::app::ZelHooksOfThisBuild());
}
