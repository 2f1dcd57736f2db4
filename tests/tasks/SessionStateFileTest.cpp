// The file of the kept tabs: what is written comes back whole, and no damage,
// however placed, is taken for a state; the previous copy stands in.

#include "tasks/SessionStateFile.h"
#include "platform/WideString.h"
#include "tests/common/TempDir.h"
#include "tests/util/TestBytes.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

SessionState Sample(int rowsPerTab = 3)
{
    SessionState state;
    state.activeTab = 1;
    const char16_t *urls[] = {u"file:///tmp/页面.html", u"qrc:/home/index.html", u""};
    for (int t = 0; t < 3; ++t) {
        SessionState::Tab tab;
        tab.url = urls[t];
        tab.catalogue = t == 1 ? u"/tmp/其他 目录/cat,1:2.xml" : u"";
        tab.started = t == 0;
        tab.divider = 200 + t;
        auto rows = std::make_shared<std::vector<SessionState::Row>>();
        for (int r = 0; r < rowsPerTab; ++r) {
            SessionState::Row row;
            for (int c = 0; c < SessionState::kCells; ++c)
                row[static_cast<std::size_t>(c)] = WideString::FromInt(r * 100 + c);
            row[1] = u"带 ____ 分隔符,\r\n和换行的操作 3:x,";
            row[5] = r % 2 ? u"成功" : u"";
            rows->push_back(row);
        }
        tab.rows = rows;
        state.tabs.push_back(tab);
    }
    return state;
}

std::string Bytes(const SessionState &state) { return SessionStateFile::Compose(state); }

} // namespace

TEST(SessionStateFile, RoundTripKeepsEveryCellAndSetting)
{
    SessionState state = Sample();
    state.cleanExit = true;
    SessionState read;
    ASSERT_TRUE(SessionStateFile::Parse(Bytes(state), &read));
    EXPECT_EQ(read, state);

    SessionState empty;
    ASSERT_TRUE(SessionStateFile::Parse(Bytes(empty), &read));
    EXPECT_EQ(read, empty);
}

TEST(SessionStateFile, NoTruncationOrSingleByteDamageIsTakenForAState)
{
    const std::string good = Bytes(Sample(2));
    const SessionState marker = [] {
        SessionState s;
        s.activeTab = 77;
        return s;
    }();
    for (std::size_t cut = 0; cut < good.size(); ++cut) {
        SessionState read = marker;
        EXPECT_FALSE(SessionStateFile::Parse(std::string_view(good).substr(0, cut), &read)) << "cut at " << cut;
        EXPECT_EQ(read, marker) << "cut at " << cut;
    }
    for (std::size_t at = 0; at < good.size(); ++at) {
        for (unsigned char flip : {0x01u, 0x80u, 0xFFu}) {
            std::string bad = good;
            bad[at] = static_cast<char>(static_cast<unsigned char>(bad[at]) ^ flip);
            SessionState read = marker;
            EXPECT_FALSE(SessionStateFile::Parse(bad, &read)) << "byte " << at << " ^ " << flip;
            EXPECT_EQ(read, marker);
        }
    }
    // Bytes after the end are damage too.
    SessionState read;
    EXPECT_FALSE(SessionStateFile::Parse(good + "x", &read));
}

TEST(SessionStateFile, HeaderThatClaimsTooMuchIsRefusedWithoutReadingIt)
{
    SessionState read;
    EXPECT_FALSE(SessionStateFile::Parse("TessalyTabs 1 99999999999999999999 00000000\n", &read));
    // A body with a valid checksum but a row count its bytes cannot hold.
    const std::string body = "1:0,1:0,1:1,0:,0:,1:0,1:0,10:2000000000,";
    char header[64];
    std::snprintf(header, sizeof header, "TessalyTabs 1 %zu %08x\n", body.size(), SessionStateFile::Crc32(body));
    EXPECT_FALSE(SessionStateFile::Parse(std::string(header) + body, &read));
}

class SessionStateFileOnDisk : public ::testing::Test {
protected:
    wstring16 Path() const { return WideString::FromUtf8((m_dir / "TabState.dat").string()); }
    std::filesystem::path File() const { return m_dir / "TabState.dat"; }
    std::filesystem::path Previous() const { return m_dir / "TabState.dat.prev"; }
    TempDir m_dir;
};

TEST_F(SessionStateFileOnDisk, SavingKeepsThePreviousCopyAndLeavesNoTemporaryFile)
{
    SessionState first = Sample(1);
    SessionState second = Sample(2);
    ASSERT_TRUE(SessionStateFile::Write(Path(), Bytes(first)));
    EXPECT_FALSE(std::filesystem::exists(Previous()));
    ASSERT_TRUE(SessionStateFile::Write(Path(), Bytes(second)));
    EXPECT_EQ(TestBytes::Read(File()), Bytes(second));
    EXPECT_EQ(TestBytes::Read(Previous()), Bytes(first));
    int files = 0;
    for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator(m_dir.Path()))
        ++files;
    EXPECT_EQ(files, 2);

    SessionState read;
    bool damaged = true;
    EXPECT_EQ(SessionStateFile::Read(Path(), &read, &damaged), SessionStateFile::Source::Current);
    EXPECT_FALSE(damaged);
    EXPECT_EQ(read, second);
}

TEST_F(SessionStateFileOnDisk, DamagedFileAtEveryByteFallsBackToThePreviousCopy)
{
    const SessionState older = Sample(1);
    const std::string newer = Bytes(Sample(2));
    TestBytes::Write(Previous(), Bytes(older));
    for (std::size_t at = 0; at <= newer.size(); ++at) {
        // Cut at this byte, and (where there is one) this byte damaged.
        TestBytes::Write(File(), newer.substr(0, at));
        SessionState read;
        bool damaged = false;
        ASSERT_EQ(SessionStateFile::Read(Path(), &read, &damaged),
            at == newer.size() ? SessionStateFile::Source::Current : SessionStateFile::Source::Previous)
            << "cut at " << at;
        EXPECT_EQ(damaged, at != newer.size());
        if (at < newer.size()) {
            EXPECT_EQ(read, older);
            std::string bad = newer;
            bad[at] = static_cast<char>(~bad[at]);
            TestBytes::Write(File(), bad);
            EXPECT_EQ(SessionStateFile::Read(Path(), &read, &damaged), SessionStateFile::Source::Previous);
            EXPECT_TRUE(damaged);
            EXPECT_EQ(read, older);
        }
    }
}

TEST_F(SessionStateFileOnDisk, OnlyThePreviousCopyLeftByACrashBetweenTheRenamesIsRead)
{
    TestBytes::Write(Previous(), Bytes(Sample(1)));
    SessionState read;
    bool damaged = true;
    EXPECT_EQ(SessionStateFile::Read(Path(), &read, &damaged), SessionStateFile::Source::Previous);
    EXPECT_FALSE(damaged);
    EXPECT_EQ(read, Sample(1));

    std::filesystem::remove(Previous());
    EXPECT_EQ(SessionStateFile::Read(Path(), &read, &damaged), SessionStateFile::Source::None);
    EXPECT_FALSE(damaged);
    TestBytes::Write(Previous(), "garbage");
    EXPECT_EQ(SessionStateFile::Read(Path(), &read, &damaged), SessionStateFile::Source::None);
    EXPECT_TRUE(damaged);
}

TEST(SessionStateFile, TabContainersAreKeptAndStatesWithoutThemStayInTheFirstFormat)
{
    SessionState plain = Sample(1);
    const std::string old = Bytes(plain);
    // Files of before containers existed read as before, and such states are still written so.
    EXPECT_EQ(old.rfind("TessalyTabs 1 ", 0), 0u);
    SessionState read;
    ASSERT_TRUE(SessionStateFile::Parse(old, &read));
    EXPECT_EQ(read, plain);

    SessionState isolated = Sample(1);
    isolated.tabs[0].container = u"账号甲";
    isolated.tabs[2].container = u"b-2";
    const std::string bytes = Bytes(isolated);
    EXPECT_EQ(bytes.rfind("TessalyTabs 2 ", 0), 0u);
    ASSERT_TRUE(SessionStateFile::Parse(bytes, &read));
    EXPECT_EQ(read, isolated);
    EXPECT_EQ(read.tabs[1].container, u"");
    EXPECT_FALSE(read == plain);

    // A body of one format under the other's header is damaged, not misread.
    std::string swapped = bytes;
    swapped[12] = '1';
    EXPECT_FALSE(SessionStateFile::Parse(swapped, &read));
    std::string raised = old;
    raised[12] = '2';
    EXPECT_FALSE(SessionStateFile::Parse(raised, &read));
}
