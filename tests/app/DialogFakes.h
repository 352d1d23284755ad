#pragma once
// Test doubles for the main dialog: prompts answered by the test, and an exporter that writes
// PNG pictures and can be held until the test releases or cancels it.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QThread>
#include <atomic>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/DialogPrompts.h"
#include "common/CancelToken.h"
#include "common/WideText.h"
#include "job/SlideExporter.h"
#include "settings/SettingsStore.h"

// Processes events until `done` holds or `ms` milliseconds have passed; returns `done()`.
inline bool WaitFor(const std::function<bool()>& done, int ms = 10000) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return done();
}

class RecordingPrompts : public vellumet::DialogPrompts {
public:
    void ShowError(QWidget* owner, const QString& text, const QString& detail = {}) override {
        errors.append(text);
        details.append(detail);
        owners.push_back(owner);
        if (onError) {
            onError();
        }
    }
    void ShowWarning(QWidget* owner, const QString& text, const QString& detail = {}) override {
        warnings.append(text);
        warningDetails.append(detail);
        owners.push_back(owner);
    }
    bool AskYesNo(QWidget* owner, const QString& text) override {
        questions.append(text);
        owners.push_back(owner);
        return answerYes;
    }
    QString OpenPresentation(QWidget*, const QString& initial) override {
        openInitials.append(initial);
        return openAnswer;
    }
    int BrowseForFolder(QWidget*, const std::wstring& initial, std::wstring* result) override {
        browseInitials.push_back(initial);
        *result = browseAnswer;
        return browseAnswer.empty() ? 0 : 1;
    }
    void RunAbout(QWidget*) override { ++aboutRuns; }
    bool EditDevices(QWidget* owner, settings::SettingsStore* store, std::wstring* device) override {
        editStarts.push_back(*device);
        owners.push_back(owner);
        if (!onEdit) {
            return false;
        }
        return onEdit(store, device);
    }

    QStringList errors;
    QStringList details;  // one per error, empty when none was given
    QStringList warnings;
    QStringList warningDetails;
    QStringList questions;
    std::vector<QWidget*> owners;
    std::function<void()> onError;  // runs while the message is "up"
    bool answerYes = false;
    QStringList openInitials;
    QString openAnswer;
    std::vector<std::wstring> browseInitials;
    std::wstring browseAnswer;
    int aboutRuns = 0;
    std::vector<std::wstring> editStarts;  // the device each editor run started on
    // Plays the editor: may change the store and *device; returns whether OK was pressed.
    std::function<bool(settings::SettingsStore*, std::wstring*)> onEdit;
};

class HeldExporter : public vellumet::SlideExporter {
public:
    int GetPowerPointVersion() override { return version; }
    std::wstring VersionRefusal() const override { return L"The held office is too old"; }
    std::wstring LastFailure() const override { return failure; }

    int ExportSlides(int, const std::wstring&, const std::wstring& folder, int32_t width, int32_t height,
                     int32_t, const vellumet::CancelToken* cancel) override {
        ++exports;
        exportFolder = folder;
        for (int slide = 0; slide < slides; ++slide) {
            QImage picture(width, height, QImage::Format_RGB888);
            picture.fill(QColor(40 * slide, 120, 200));
            const std::string path =
                vellumet::ToNative(folder) + "/Slide" + std::to_string(slide + 1) + ".png";
            if (slide + 1 == damagedSlide) {
                std::ofstream(path) << "not a picture";
            } else {
                picture.save(QString::fromStdString(path));
            }
        }
        // Held like a slow office until released or cancelled.
        exporting = true;
        while (hold && !(cancel != nullptr && cancel->IsCancelled())) {
            QThread::msleep(5);
        }
        sawCancel = cancel != nullptr && cancel->IsCancelled();
        exporting = false;
        return 0;
    }

    int version = 4;
    int slides = 2;
    int damagedSlide = 0;  // 1-based: that slide's picture is written damaged
    std::wstring failure;  // what LastFailure answers
    std::atomic<bool> hold{false};
    std::atomic<bool> exporting{false};
    std::atomic<bool> sawCancel{false};
    std::atomic<int> exports{0};
    std::wstring exportFolder;  // read only once the job has ended
};
