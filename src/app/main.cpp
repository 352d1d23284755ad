#include "app/QuillmereApp.h"
#include "common/ProcessSetup.h"

namespace {

vellumet::CQuillmereApp theApp;

}  // namespace

int main(int argc, char** argv) {
    vellumet::PrepareProcess();
    return theApp.Run(argc, argv);
}
