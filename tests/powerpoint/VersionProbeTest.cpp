#include "powerpoint/VersionProbe.h"

#include <gtest/gtest.h>

#include "powerpoint/DispatchIds.h"

namespace {

using powerpoint::VersionCodeFromText;

TEST(VersionCodeFromText, RegisteredReleases) {
    EXPECT_EQ(VersionCodeFromText(L"PowerPoint.Application.7"), 1);
    EXPECT_EQ(VersionCodeFromText(L"PowerPoint.Application.8"), 2);
    EXPECT_EQ(VersionCodeFromText(L"PowerPoint.Application.9"), 3);
    EXPECT_EQ(VersionCodeFromText(L"PowerPoint.Application.10"), 4);
    EXPECT_EQ(VersionCodeFromText(L"PowerPoint.Application.11"), 5);
    EXPECT_EQ(VersionCodeFromText(L"PowerPoint.Application.12"), 6);
    EXPECT_EQ(VersionCodeFromText(L"PowerPoint.Application.14"), 7);
}

TEST(VersionCodeFromText, OnlyTheTextAfterTheLastDotCountsAndItMustMatchWhole) {
    EXPECT_EQ(VersionCodeFromText(L".9"), 3);
    EXPECT_EQ(VersionCodeFromText(L"11"), 5);  // no dot: the whole text
    EXPECT_EQ(VersionCodeFromText(L"a.b.12"), 6);
    EXPECT_EQ(VersionCodeFromText(L"PowerPoint.Application.13"), 0);
    EXPECT_EQ(VersionCodeFromText(L"PowerPoint.Application.15"), 0);
    EXPECT_EQ(VersionCodeFromText(L"PowerPoint.Application.16"), 0);
    EXPECT_EQ(VersionCodeFromText(L"PowerPoint.Application."), 0);
    EXPECT_EQ(VersionCodeFromText(L""), 0);
    EXPECT_EQ(VersionCodeFromText(L"PowerPoint.Application.09"), 0);
    EXPECT_EQ(VersionCodeFromText(L"PowerPoint.Application.9 "), 0);
    EXPECT_EQ(VersionCodeFromText(L"12.PowerPoint"), 0);
}

TEST(OpenDispIdForVersion, ByRelease) {
    EXPECT_EQ(powerpoint::OpenDispIdForVersion(0), 0);
    EXPECT_EQ(powerpoint::OpenDispIdForVersion(2), 0);
    EXPECT_EQ(powerpoint::OpenDispIdForVersion(3), powerpoint::dispid::Presentations::Open2000);
    EXPECT_EQ(powerpoint::OpenDispIdForVersion(4), powerpoint::dispid::Presentations::Open);
    EXPECT_EQ(powerpoint::OpenDispIdForVersion(7), powerpoint::dispid::Presentations::Open);
}

}  // namespace
