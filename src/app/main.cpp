#include "app/QuillmereApp.h"

namespace {

vellumet::CQuillmereApp theApp;

}  // namespace

int main(int argc, char** argv) {
    return theApp.Run(argc, argv);
}
