// The files the take export writes, for real under Wine: a save replaces the
// chosen file through a temporary file beside it, so a target that cannot be
// replaced, a failed write or a short one leaves the old file whole and no
// stray file behind; the drag's temporary folder is found however long it is.
#include <windows.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "editor/texts.hpp"
#include "editor/win32/file_write_win32.hpp"
#include "plugin/plugin.hpp"
#include "tests/editor/win32/window_fixture.hpp"

namespace win32test {
namespace {

std::wstring scratchFolder(const wchar_t* name) {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring folder = std::wstring(temp) + name;
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder + L"\\";
}

std::vector<uint8_t> bytesOf(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The names in a folder, "." and ".." aside.
std::vector<std::wstring> listing(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

const std::vector<uint8_t> oldBytes(100, 'o');
const std::vector<uint8_t> newBytes = {'M', 'T', 'h', 'd', 0, 0, 0, 6};

BOOL WINAPI failingWrite(HANDLE, LPCVOID, DWORD, LPDWORD written, LPOVERLAPPED) {
    *written = 0;
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
}

BOOL WINAPI shortWrite(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped) {
    return WriteFile(file, data, size / 2, written, overlapped);
}

class FileWrites : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = scratchFolder(L"velk-export-test");
        for (const std::wstring& name : listing(folder))
            DeleteFileW((folder + name).c_str());
        target = folder + L"VELK_acordes.mid";
        ASSERT_TRUE(palmtone::writeFileNew(target, oldBytes));
    }
    void TearDown() override { palmtone::fileWriter = ::WriteFile; }

    std::wstring folder, target;
};

TEST_F(FileWrites, AReplacingWriteLeavesExactlyTheNewFile) {
    ASSERT_TRUE(palmtone::writeFileReplacing(target, newBytes));
    EXPECT_EQ(bytesOf(target), newBytes);
    EXPECT_EQ(listing(folder), std::vector<std::wstring>{L"VELK_acordes.mid"});
}

TEST_F(FileWrites, FailuresLeaveTheOldFileWholeAndNothingElse) {
    struct Case {
        const char* what;
        palmtone::WriteFunction writer;
        bool lockTarget;
    };
    for (const Case& c : {Case{"failed write", failingWrite, false}, Case{"short write", shortWrite, false},
                          Case{"target held open without sharing", ::WriteFile, true}}) {
        palmtone::fileWriter = c.writer;
        HANDLE lock = c.lockTarget
                          ? CreateFileW(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)
                          : INVALID_HANDLE_VALUE;
        EXPECT_FALSE(palmtone::writeFileReplacing(target, newBytes)) << c.what;
        if (lock != INVALID_HANDLE_VALUE) CloseHandle(lock);
        palmtone::fileWriter = ::WriteFile;
        EXPECT_EQ(bytesOf(target), oldBytes) << c.what;
        EXPECT_EQ(listing(folder), std::vector<std::wstring>{L"VELK_acordes.mid"}) << c.what;
    }
}

TEST_F(FileWrites, ANewFileIsNeverWrittenOverAnother) {
    EXPECT_FALSE(palmtone::writeFileNew(target, newBytes));
    EXPECT_EQ(bytesOf(target), oldBytes);
}

TEST_F(FileWrites, AFailedNewFileLeavesNoFileBehind) {
    const std::wstring fresh = folder + L"VELK_acordes_nuevo.mid";
    for (palmtone::WriteFunction writer : {failingWrite, shortWrite}) {
        palmtone::fileWriter = writer;
        EXPECT_FALSE(palmtone::writeFileNew(fresh, newBytes));
        palmtone::fileWriter = ::WriteFile;
        EXPECT_EQ(listing(folder), std::vector<std::wstring>{L"VELK_acordes.mid"});
    }
}

// The temporary folder comes from TMP; restored after each case.
class TemporaryFolder : public ::testing::Test {
  protected:
    void SetUp() override { GetEnvironmentVariableW(L"TMP", saved, 32767); }
    void TearDown() override { SetEnvironmentVariableW(L"TMP", saved); }
    wchar_t saved[32767] = {};
};

// Windows may hand out a folder longer than MAX_PATH, which is then taken
// whole; Wine refuses one (the call fails). Either way no path is ever cut
// short or relative, so the drag's file never lands in the host's folder.
TEST_F(TemporaryFolder, IsTakenWholeOrNotAtAll) {
    std::wstring deep = scratchFolder(L"velk-deep");
    while (deep.size() < 300) {
        deep += L"carpeta-de-prueba-larga\\";
        CreateDirectoryW(deep.c_str(), nullptr);
    }
    struct Case {
        std::wstring tmp;
        std::wstring expected; // empty: any absolute folder
    };
    for (const Case& c : {Case{deep.substr(0, deep.size() - 1), deep}, Case{L"relativo\\temp", L""}}) {
        ASSERT_TRUE(SetEnvironmentVariableW(L"TMP", c.tmp.c_str()));
        std::wstring found;
        if (!palmtone::temporaryFolderPath(found)) continue;
        EXPECT_TRUE(found.size() > 3 && (found[1] == L':' || found.substr(0, 2) == L"\\\\"))
            << testing::PrintToString(found);
        EXPECT_EQ(found.back(), L'\\');
        if (!c.expected.empty()) {
            EXPECT_EQ(found, c.expected);
        }
    }
}

TEST_F(WindowTest, ADragWithoutATemporaryFolderPointsToTheSaveButton) {
    wchar_t saved[32767] = {};
    GetEnvironmentVariableW(L"TMP", saved, 32767);
    ASSERT_NE(open(parent), nullptr);
    velktest::stoppedTake(host.plugin());
    std::wstring deep = scratchFolder(L"velk-deep");
    while (deep.size() < 300)
        deep += L"carpeta-de-prueba-larga\\";
    SetEnvironmentVariableW(L"TMP", deep.c_str());
    std::wstring folder;
    const bool hasFolder = palmtone::temporaryFolderPath(folder);
    editor->drag();
    SetEnvironmentVariableW(L"TMP", saved);
    if (hasFolder) GTEST_SKIP() << "this system hands out long temporary folders";
    ASSERT_EQ(script.boxes.size(), 1u);
    EXPECT_EQ(script.boxes[0].text, palmtone::texts::dragFailed);
    EXPECT_EQ(script.boxes[0].style, static_cast<uint32_t>(MB_ICONINFORMATION));
}

// Through the editor: a locked target shows the message once and changes nothing.
TEST_F(WindowTest, ASaveOverALockedFileSaysSoOnceAndKeepsTheOldFile) {
    const std::wstring folder = scratchFolder(L"velk-export-test");
    const std::wstring target = folder + L"locked.mid";
    DeleteFileW(target.c_str());
    ASSERT_TRUE(palmtone::writeFileNew(target, oldBytes));
    ASSERT_NE(open(parent), nullptr);
    velktest::stoppedTake(host.plugin());
    tamso::MidiCapture& take = host.plugin().capture;

    script.savePath = target;
    HANDLE lock = CreateFileW(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    editor->save();
    CloseHandle(lock);
    ASSERT_EQ(script.boxes.size(), 1u);
    EXPECT_EQ(script.boxes[0].text, palmtone::texts::saveFailed);
    EXPECT_EQ(script.boxes[0].caption, L"VELK");
    EXPECT_EQ(script.boxes[0].style, static_cast<uint32_t>(MB_ICONERROR));
    EXPECT_EQ(bytesOf(target), oldBytes);

    editor->save(); // unlocked now: the file is replaced by the take
    EXPECT_EQ(script.boxes.size(), 1u);
    EXPECT_EQ(bytesOf(target), take.midiFile());
    EXPECT_EQ(listing(folder).size(), 2u)
        << "locked.mid and VELK_acordes.mid of the other tests, no temporary file";
}

} // namespace
} // namespace win32test
