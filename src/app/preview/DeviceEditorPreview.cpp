// Shows the device editor over a settings store of its own that holds two devices of a user's, for
// pictures of the editor (scripts/device-editor-screenshot). Built on request only.
// Usage: device-editor-preview STORE-FILE   (the file is created; it must not be the user's store)

#include <QApplication>
#include <filesystem>
#include <iostream>

#include "app/DeviceEditorDlg.h"
#include "frontend/DeviceProfile.h"
#include "frontend/UserDevices.h"
#include "settings/SqliteStore.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2 || std::filesystem::exists(argv[1])) {
        std::cerr << "usage: device-editor-preview NEW-STORE-FILE\n";
        return 2;
    }
    settings::SqliteStore store(argv[1]);
    vellumet::UserDevices list;
    list.devices = {
        {L"Desk Reader", {900, 1300}, vellumet::Screen::Gray16, vellumet::DeviceOrigin::User, {}},
        {L"Kindle at school", {1236, 1648}, vellumet::Screen::Colour, vellumet::DeviceOrigin::User, {}},
    };
    if (!vellumet::WriteUserDevices(list, &store).empty()) {
        return 1;
    }
    vellumet::DeviceEditorDlg editor(&store, L"Desk Reader");
    editor.show();
    return application.exec();
}
