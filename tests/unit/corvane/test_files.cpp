// The program's own files: kept only in a folder nobody else can change, and never opened
// through a link.
#include "corvane_test.h"
#include "lab_runs.h"

#include <aclapi.h>
#include <sddl.h>

#include "app.h"
#include "raii.h"
#include "safe_file.h"

using namespace corvane;

namespace {

std::wstring temp_name(const wchar_t* what) {
  wchar_t t[MAX_PATH];
  GetTempPathW(MAX_PATH, t);
  return t + (L"corvane-files-" + std::to_wstring(GetCurrentProcessId()) + L"-" + what);
}

// A folder whose access list is then set from SDDL (set after making it: Wine keeps it as Unix
// mode bits, and making it would have the umask take the others' write bit away).
bool make_folder(const std::wstring& path, const wchar_t* sddl) {
  if (!CreateDirectoryW(path.c_str(), nullptr)) return false;
  if (!sddl) return true;
  corv::LocalMem<void> sd;
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  return ConvertStringSecurityDescriptorToSecurityDescriptorW(
             sddl, 1, reinterpret_cast<PSECURITY_DESCRIPTOR*>(sd.out()), nullptr) &&
         GetSecurityDescriptorDacl(sd.get(), &present, &dacl, &defaulted) &&
         !SetNamedSecurityInfoW(&std::wstring(path)[0], SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                dacl, nullptr);
}

}  // namespace

TEST(CorvaneFiles, AFolderOthersCanWriteIsNotPrivate) {
  // Wine keeps a folder's list as mode bits (measured): Everyone's write is o+w, read back as
  // (A;;0x1301ff;;;WD); entries for other single accounts or groups are not kept at all.
  struct Row {
    const wchar_t* name;
    const wchar_t* sddl;  // null: as made
    const char* help;     // what corvanecmd --help from a copy in that folder says
  } rows[] = {
      {L"private", nullptr, "-private\\cv.ini"},
      {L"everyone", L"D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FA;;;WD)",
       "the program's folder is not private (Everyone may change it"},
  };
  for (const Row& r : rows) {
    std::wstring folder = temp_name(r.name);
    ASSERT_TRUE(make_folder(folder, r.sddl)) << GetLastError();
    EXPECT_EQ(folder_writable_by_others(folder + L"\\").empty(), r.sddl == nullptr) << r.name;
    std::wstring copy = folder + L"\\corvanecmd.exe";
    ASSERT_TRUE(CopyFileW((corvlab::TempLab::program_folder() + L"corvanecmd.exe").c_str(), copy.c_str(), FALSE));
    corvane_test::Result help = corvane_test::corvanecmd_at(copy, L"--help");
    EXPECT_NE(help.out.find(r.help), std::string::npos) << help.out;
    DeleteFileW(copy.c_str());
    RemoveDirectoryW(folder.c_str());
  }
}

TEST(CorvaneFiles, NoLinkIsOpened) {
  const std::wstring target = temp_name(L"target.txt"), hard = temp_name(L"hard.txt");
  ASSERT_TRUE(write_plain_file(target, "secret"));
  std::string bytes;
  ASSERT_TRUE(read_plain_file(target, bytes));
  EXPECT_EQ(bytes, "secret");
  // A second name for the file: read it may be, written it is not (that would write the other).
  ASSERT_TRUE(CreateHardLinkW(hard.c_str(), target.c_str(), nullptr)) << GetLastError();
  EXPECT_FALSE(write_plain_file(hard, "planted"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TOO_MANY_LINKS));
  ASSERT_TRUE(read_plain_file(target, bytes));
  EXPECT_EQ(bytes, "secret");
  // Symbolic links cannot be shown here: Wine 8's CreateSymbolicLinkW makes nothing (and says it
  // did), and a Unix link reads as a plain file (attributes 0x20) that is followed.
  for (const std::wstring& f : {hard, target}) DeleteFileW(f.c_str());
}
