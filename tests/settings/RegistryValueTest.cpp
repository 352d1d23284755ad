#include <gtest/gtest.h>

#include <climits>
#include <memory>

#include "TestSupport.h"
#include "settings/RegistryValue.h"
#include "settings/SqliteStore.h"
#include "support/MemoryStore.h"

using namespace settings;
using settings_test::Plant;
using settings_test::Read;
using settings_test::Utf16;

namespace {

const std::wstring kKey = L"Software\\Mavrel\\Vellumet";

// The family's behaviour is the same over the store on disk and the one in memory.
class RegistryValueTest : public settings_test::ScratchTest, public testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        ScratchTest::SetUp();
        if (GetParam()) {
            store_ = std::make_unique<SqliteStore>(
                dir_ / "settings.db", [this](const std::string& message) { reports_.push_back(message); });
        } else {
            store_ = std::make_unique<MemoryStore>();
        }
    }
    void TearDown() override {
        if (auto* memory = dynamic_cast<MemoryStore*>(store_.get())) {
            EXPECT_EQ(memory->OpenKeyCount(), 0) << "a key was left open";
        }
        EXPECT_TRUE(reports_.empty());
        ScratchTest::TearDown();
    }

    bool Present(const std::wstring& name) { return Read(*store_, kKey, name).present; }

    std::unique_ptr<SettingsStore> store_;
    std::vector<std::string> reports_;
};

TEST_P(RegistryValueTest, PathSplitsAtLastBackslash) {
    registry_int<long> nested(L"A\\B\\Value", 0, 0, store_.get());
    EXPECT_EQ(nested.SubKey(), L"A\\B");
    EXPECT_EQ(nested.ValueName(), L"Value");
    registry_int<long> plain(L"Plain", 0, 0, store_.get());
    EXPECT_EQ(plain.SubKey(), L"Plain");
    EXPECT_EQ(plain.ValueName(), L"Plain");
}

TEST_P(RegistryValueTest, AbsentValuesReadAsDefaultsAndReadingWritesNothing) {
    registry_string<std::wstring> text(kKey + L"\\Scheme", L"fallback", registry_value::no_write_back,
                                       store_.get());
    registry_int<bool> flag(kKey + L"\\OmitShadow", true, registry_value::no_write_back, store_.get());
    registry_int<long> number(kKey + L"\\SlidesPerPage", -7, registry_value::no_write_back, store_.get());
    EXPECT_EQ(text.get(), L"fallback");
    EXPECT_TRUE(flag.get());
    EXPECT_EQ(number.get(), -7);
    EXPECT_FALSE(text.load());
    EXPECT_FALSE(text.exists());
    if (GetParam()) {
        EXPECT_FALSE(std::filesystem::exists(dir_ / "settings.db"));
    }
}

TEST_P(RegistryValueTest, ValuesRoundTripWithTheirStoredForm) {
    const std::wstring text = L"/home/\u00e9l\u00e8ve/\U0001F4DA books";
    registry_string<std::wstring>(kKey + L"\\S", L"", 0, store_.get()).set(text);
    registry_int<bool>(kKey + L"\\B", true, 0, store_.get()).set(false);
    registry_int<long>(kKey + L"\\L", 0, 0, store_.get()).set(INT32_MIN);

    EXPECT_EQ(registry_string<std::wstring>(kKey + L"\\S", L"x", 2, store_.get()).get(), text);
    EXPECT_FALSE(registry_int<bool>(kKey + L"\\B", true, 2, store_.get()).get());
    EXPECT_EQ(registry_int<long>(kKey + L"\\L", 0, 2, store_.get()).get(), INT32_MIN);

    settings_test::Stored s = Read(*store_, kKey, L"S");
    EXPECT_EQ(s.type, REG_SZ);
    EXPECT_EQ(s.bytes.size(), 2 * (text.size() + 1) + 2);  // the emoji is a surrogate pair
    EXPECT_EQ(Read(*store_, kKey, L"B").bytes, (std::vector<uint8_t>{0, 0, 0, 0}));
    EXPECT_EQ(Read(*store_, kKey, L"L").type, REG_DWORD);
}

TEST_P(RegistryValueTest, StoredTextsReadAsTheirFirstLine) {
    Plant(*store_, kKey, L"Empty", REG_SZ, Utf16(""));
    Plant(*store_, kKey, L"NoBytes", REG_SZ, {});
    Plant(*store_, kKey, L"Lines", REG_SZ, Utf16("first\nsecond"));
    Plant(*store_, kKey, L"Unterminated", REG_SZ, Utf16("whole", false));
    Plant(*store_, kKey, L"InnerNul", REG_SZ, Utf16(std::string("cut\0off", 7)));
    auto read = [&](const wchar_t* name) {
        return registry_string<std::wstring>(kKey + L"\\" + name, L"default", 2, store_.get()).get();
    };
    EXPECT_EQ(read(L"Empty"), L"");
    EXPECT_EQ(read(L"NoBytes"), L"");
    EXPECT_EQ(read(L"Lines"), L"first");
    EXPECT_EQ(read(L"Unterminated"), L"whole");
    EXPECT_EQ(read(L"InnerNul"), L"cut");
}

TEST_P(RegistryValueTest, ValuesOfAnotherTypeReadAsDefaults) {
    Plant(*store_, kKey, L"OmitShadow", REG_SZ, Utf16("0"));
    Plant(*store_, kKey, L"Expand", REG_EXPAND_SZ, Utf16("text"));
    Plant(*store_, kKey, L"Wide", REG_DWORD, {1, 0, 0, 0, 0, 0, 0, 0});
    Plant(*store_, kKey, L"Short", REG_DWORD, {3});
    EXPECT_TRUE(registry_int<bool>(kKey + L"\\OmitShadow", true, 2, store_.get()).get());
    EXPECT_EQ(registry_string<std::wstring>(kKey + L"\\Expand", L"d", 2, store_.get()).get(), L"d");
    EXPECT_EQ(registry_int<long>(kKey + L"\\Wide", 9, 2, store_.get()).get(), 9);
    EXPECT_EQ(registry_int<long>(kKey + L"\\Short", 9, 2, store_.get()).get(), 3);
    EXPECT_TRUE(registry_int<bool>(kKey + L"\\OmitShadow", true, 2, store_.get()).exists());
}

TEST_P(RegistryValueTest, DefaultIsWrittenOnlyOverAStoredValueButTheKeyIsCreated) {
    EXPECT_FALSE(registry_int<long>(kKey + L"\\N", 1, 0, store_.get()).save());
    EXPECT_FALSE(Present(L"N"));
    StoreKey* key = nullptr;
    ASSERT_EQ(store_->OpenKey(kKey, &key), StoreStatus::Ok) << "the key exists without values";
    store_->CloseKey(key);

    Plant(*store_, kKey, L"N", REG_DWORD, {5, 0, 0, 0});
    {
        registry_int<long> n(kKey + L"\\N", 1, 0, store_.get());
        EXPECT_EQ(n.get(), 5);
        n.set(1);
    }
    EXPECT_EQ(Read(*store_, kKey, L"N").bytes, (std::vector<uint8_t>{1, 0, 0, 0}));
}

TEST_P(RegistryValueTest, FlagsDecideWhenValuesAreLoadedAndWritten) {
    // no_write_back: a read-only view, whatever is set.
    registry_int<long>(kKey + L"\\View", 0, registry_value::no_write_back, store_.get()).set(4);
    EXPECT_FALSE(Present(L"View"));

    // immediate: no load at construction, set saves at once, get reloads, nothing at destruction.
    {
        registry_int<long> live(kKey + L"\\Live", 0, registry_value::immediate, store_.get());
        Plant(*store_, kKey, L"Live", REG_DWORD, {8, 0, 0, 0});
        EXPECT_EQ(live.get(), 8);
        live.set(9);
        EXPECT_EQ(Read(*store_, kKey, L"Live").bytes[0], 9);
        Plant(*store_, kKey, L"Live", REG_DWORD, {10, 0, 0, 0});
    }
    EXPECT_EQ(Read(*store_, kKey, L"Live").bytes[0], 10);

    // force: even an unchanged default is stored.
    registry_int<long>(kKey + L"\\Forced", 6, registry_value::force, store_.get()).set(6);
    EXPECT_EQ(Read(*store_, kKey, L"Forced").bytes[0], 6);
}

TEST_P(RegistryValueTest, LongOutsideThirtyTwoBitsIsNotSaved) {
    if (sizeof(long) <= 4) {
        GTEST_SKIP() << "long is 32 bits";
    }
    registry_int<long> n(kKey + L"\\N", 0, registry_value::no_write_back, store_.get());
    n.set(LONG_MAX);
    EXPECT_FALSE(n.save());
    EXPECT_FALSE(Present(L"N"));
}

INSTANTIATE_TEST_SUITE_P(Stores, RegistryValueTest, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& param) {
                             return param.param ? "Sqlite" : "Memory";
                         });

TEST(RegistryValueReadOnlyStore, SaveFailsAndLeavesNothingOpen) {
    MemoryStore store;
    Plant(store, kKey, L"N", REG_DWORD, {5, 0, 0, 0});
    store.SetReadOnly(true);
    registry_int<long> n(kKey + L"\\N", 1, 0, &store);
    EXPECT_EQ(n.get(), 5);
    n.set(7);
    EXPECT_FALSE(n.save());
    EXPECT_EQ(Read(store, kKey, L"N").bytes[0], 5);
    EXPECT_EQ(store.OpenKeyCount(), 0);
}

}  // namespace
