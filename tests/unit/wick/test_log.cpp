// zrLog through its interfaces: defaults, filter, last record, the file line in both
// encodings, file sharing, and onError through the connection point.
#include <objsafe.h>
#include <olectl.h>
#include "wick_test.h"

using corv::Bstr;
using corv::ComPtr;
using wicktest::Via;

namespace {

class Log : public ::testing::TestWithParam<Via> {
protected:
  void SetUp() override {
    log = wicktest::make<IzrLog>(CLSID_zrLog, GetParam());
    ASSERT_TRUE(log);
  }
  // Switches the file output on, to `file`, with no sinks fired.
  void to_file(const wicktest::TempFile& file, bool unicode = false) {
    Bstr name(file.path.c_str());
    ASSERT_EQ(S_OK, log->put_FileName(name.get()));
    ASSERT_EQ(S_OK, log->put_FlagFile(VARIANT_TRUE));
    ASSERT_EQ(S_OK, log->put_FileUnicode(unicode ? VARIANT_TRUE : VARIANT_FALSE));
    ASSERT_EQ(S_OK, log->put_FlagCallOnError(VARIANT_FALSE));
  }
  HRESULT record(const wchar_t* sys, const wchar_t* src, long sev, long err, const wchar_t* desc) {
    Bstr a(sys), b(src), c(desc);
    return log->LogError(a.get(), b.get(), sev, err, c.get());
  }
  ComPtr<IzrLog> log;
};

TEST_P(Log, NewObjectDefaults) {
  long filter = 0;
  EXPECT_EQ(S_OK, log->get_FilterSeverity(&filter));
  EXPECT_EQ(-1, filter);
  VARIANT_BOOL b = 7;
  EXPECT_EQ(S_OK, log->get_FlagTrace(&b));
  EXPECT_EQ(0, b);
  EXPECT_EQ(S_OK, log->get_FlagFile(&b));
  EXPECT_EQ(0, b);
  EXPECT_EQ(S_OK, log->get_FlagEventLog(&b));
  EXPECT_EQ(0, b);
  EXPECT_EQ(S_OK, log->get_FileUnicode(&b));
  EXPECT_EQ(0, b);
  // Held as a 32-bit 1 at creation: it reads 1, not VARIANT_TRUE, until a put.
  EXPECT_EQ(S_OK, log->get_FlagCallOnError(&b));
  EXPECT_EQ(1, b);
  EXPECT_EQ(S_OK, log->put_FlagCallOnError(VARIANT_TRUE));
  EXPECT_EQ(S_OK, log->get_FlagCallOnError(&b));
  EXPECT_EQ(VARIANT_TRUE, b);
  EXPECT_EQ(S_OK, log->put_FlagTrace(2));
  EXPECT_EQ(S_OK, log->get_FlagTrace(&b));
  EXPECT_EQ(2, b);

  Bstr s;
  EXPECT_EQ(S_OK, log->get_FileName(s.out()));
  EXPECT_EQ(L"", corvtest::str(s.get()));
  EXPECT_NE(nullptr, s.get());
  EXPECT_EQ(S_OK, log->get_FileTabulator(s.out()));
  EXPECT_EQ(L"\t", corvtest::str(s.get()));
  EXPECT_EQ(S_OK, log->get_EvenSource(s.out()));
  EXPECT_EQ(L"Not set", corvtest::str(s.get()));
}

TEST_P(Log, TextPropertiesCopyUpToTheFirstNul) {
  EXPECT_EQ(S_OK, log->get_FileName(nullptr));
  EXPECT_EQ(E_POINTER, log->get_FileTabulator(nullptr));
  EXPECT_EQ(E_POINTER, log->get_EvenSource(nullptr));
  Bstr t = wicktest::text(std::wstring(L"ab\0cd", 5));
  ASSERT_EQ(S_OK, log->put_EvenSource(t.get()));
  ASSERT_EQ(S_OK, log->put_FileTabulator(t.get()));
  ASSERT_EQ(S_OK, log->put_FileName(t.get()));
  Bstr s;
  EXPECT_EQ(S_OK, log->get_EvenSource(s.out()));
  EXPECT_EQ(L"ab", corvtest::str(s.get()));
  EXPECT_EQ(S_OK, log->get_FileTabulator(s.out()));
  EXPECT_EQ(L"ab", corvtest::str(s.get()));
  EXPECT_EQ(S_OK, log->get_FileName(s.out()));
  EXPECT_EQ(L"ab", corvtest::str(s.get()));
  // A null text stores null, which reads back as an empty text.
  ASSERT_EQ(S_OK, log->put_FileName(nullptr));
  EXPECT_EQ(S_OK, log->get_FileName(s.out()));
  EXPECT_EQ(L"", corvtest::str(s.get()));
}

TEST_P(Log, KeepsTheLastRecordThatPassedTheFilter) {
  long sev = -9, err = -9;
  Bstr sys, src, desc;
  // A new object: empty texts and zeros.
  ASSERT_EQ(S_OK, log->GetLastError(sys.out(), src.out(), &sev, &err, desc.out()));
  EXPECT_EQ(L"", corvtest::str(sys.get()));
  EXPECT_NE(nullptr, sys.get());
  EXPECT_EQ(0, sev);
  EXPECT_EQ(0, err);

  EXPECT_EQ(S_OK, record(L"SYS", L"SRC", 2, -5, L"first"));
  ASSERT_EQ(S_OK, log->GetLastError(sys.out(), src.out(), &sev, &err, desc.out()));
  EXPECT_EQ(L"SYS", corvtest::str(sys.get()));
  EXPECT_EQ(L"SRC", corvtest::str(src.get()));
  EXPECT_EQ(2, sev);
  EXPECT_EQ(-5, err);
  EXPECT_EQ(L"first", corvtest::str(desc.get()));

  // Filtered out: S_FALSE and the record stays.
  ASSERT_EQ(S_OK, log->put_FilterSeverity(0));
  EXPECT_EQ(S_FALSE, record(L"X", L"Y", 0, 1, L"second"));
  ASSERT_EQ(S_OK, log->GetLastError(nullptr, nullptr, &sev, &err, desc.out()));
  EXPECT_EQ(L"first", corvtest::str(desc.get()));
  EXPECT_EQ(-5, err);

  // Texts are taken up to their first NUL, and null ones read back empty.
  ASSERT_EQ(S_OK, log->put_FilterSeverity(-1));
  Bstr cut = wicktest::text(std::wstring(L"ab\0cd", 5));
  EXPECT_EQ(S_OK, log->LogError(nullptr, cut.get(), 1, 3, nullptr));
  ASSERT_EQ(S_OK, log->GetLastError(sys.out(), src.out(), &sev, &err, desc.out()));
  EXPECT_EQ(L"", corvtest::str(sys.get()));
  EXPECT_EQ(L"ab", corvtest::str(src.get()));
  EXPECT_EQ(L"", corvtest::str(desc.get()));
  EXPECT_EQ(E_POINTER, log->GetLastError(nullptr, nullptr, nullptr, &err, nullptr));
}

TEST_P(Log, FilterTestsTheBitOfTheLowFiveSeverityBits) {
  ASSERT_EQ(S_OK, log->put_FilterSeverity(3));
  EXPECT_EQ(S_OK, record(L"s", L"s", 0, 0, L"d"));
  EXPECT_EQ(S_OK, record(L"s", L"s", 1, 0, L"d"));
  EXPECT_EQ(S_FALSE, record(L"s", L"s", 2, 0, L"d"));
  EXPECT_EQ(S_OK, record(L"s", L"s", 32, 0, L"d"));     // bit 0
  EXPECT_EQ(S_FALSE, record(L"s", L"s", 37, 0, L"d"));  // bit 5
  ASSERT_EQ(S_OK, log->put_FilterSeverity(0x20));
  EXPECT_EQ(S_OK, record(L"s", L"s", 37, 0, L"d"));
  ASSERT_EQ(S_OK, log->put_FilterSeverity(0x7FFFFFFF));
  EXPECT_EQ(S_FALSE, record(L"s", L"s", -1, 0, L"d"));  // bit 31
  ASSERT_EQ(S_OK, log->put_FilterSeverity(static_cast<long>(0x80000000u)));
  EXPECT_EQ(S_OK, record(L"s", L"s", -1, 0, L"d"));
}

TEST_P(Log, FileLinesInEightBitText) {
  wicktest::TempFile file(L"8bit");
  to_file(file);
  EXPECT_EQ(S_OK, record(L"Sys", L"Src", 9, static_cast<long>(0x80070005), L"Desc"));
  for (long sev = 0; sev <= 5; ++sev) EXPECT_EQ(S_OK, record(L"S", L"R", sev, sev - 2, L"x"));
  EXPECT_EQ(S_OK, record(nullptr, L"", 0, 0, L"100% %s %d %n"));
  EXPECT_EQ(S_OK, record(L"caf\u00e9", L"R", 1, 0, L"\u00ff"));
  EXPECT_EQ(wicktest::ascii("Sys\tSrc\t9\t-2147024891\tDesc\r\n"
                            "S\tR\tError\t-2\tx\r\n"
                            "S\tR\tWarning\t-1\tx\r\n"
                            "S\tR\tInformational\t0\tx\r\n"
                            "S\tR\tSummary\t1\tx\r\n"
                            "S\tR\tInternalError\t2\tx\r\n"
                            "S\tR\tTraceMsg\t3\tx\r\n"
                            "(null)\t\tError\t0\t100% %s %d %n\r\n"
                            "caf\xe9\tR\tWarning\t0\t\xff\r\n"),
            file.bytes());
}

TEST_P(Log, SeparatorIsTheTabulatorProperty) {
  wicktest::TempFile file(L"sep");
  to_file(file);
  Bstr sep(L" | ");
  ASSERT_EQ(S_OK, log->put_FileTabulator(sep.get()));
  EXPECT_EQ(S_OK, record(L"a", L"b", 1, 2, L"c"));
  ASSERT_EQ(S_OK, log->put_FileTabulator(nullptr));
  EXPECT_EQ(S_OK, record(L"a", L"b", 1, 2, L"c"));
  EXPECT_EQ(wicktest::ascii("a | b | Warning | 2 | c\r\na(null)b(null)Warning(null)2(null)c\r\n"), file.bytes());
}

TEST_P(Log, FileLinesInUtf16WithoutByteOrderMark) {
  wicktest::TempFile file(L"utf16");
  to_file(file, true);
  EXPECT_EQ(S_OK, record(L"\u0416\u20ac", L"Src", 0, 5, L"\U0001F600"));
  // Switching the encoding between records mixes them in one file.
  ASSERT_EQ(S_OK, log->put_FileUnicode(VARIANT_FALSE));
  EXPECT_EQ(S_OK, record(L"a", L"b", 2, 0, L"c"));
  std::vector<uint8_t> expected = wicktest::utf16(L"\u0416\u20ac\tSrc\tError\t5\t\U0001F600\r\n");
  std::vector<uint8_t> tail = wicktest::ascii("a\tb\tInformational\t0\tc\r\n");
  expected.insert(expected.end(), tail.begin(), tail.end());
  EXPECT_EQ(expected, file.bytes());
}

// A character the 8-bit file cannot hold becomes '?'; the rest of the line and its end stay.
TEST_P(Log, EightBitFileKeepsTheLineAroundUnwritableCharacters) {
  wicktest::TempFile file(L"wide");
  to_file(file);
  EXPECT_EQ(S_OK, record(L"S", L"R", 0, 1, L"a\u0416b\U0001F600c"));
  EXPECT_EQ(S_OK, record(L"S", L"R", 0, 2, L"next"));
  EXPECT_EQ(wicktest::ascii("S\tR\tError\t1\ta?b?c\r\nS\tR\tError\t2\tnext\r\n"), file.bytes());
}

// A line longer than 4,095 characters is cut to 4,095, still ending with CR LF.
TEST_P(Log, LongLinesAreCutButKeepTheirEnd) {
  for (bool unicode : {false, true}) {
    SCOPED_TRACE(unicode ? "unicode" : "8-bit");
    wicktest::TempFile file(unicode ? L"long16" : L"long8");
    to_file(file, unicode);
    std::wstring desc(5000, L'd');
    EXPECT_EQ(S_OK, record(L"S", L"R", 0, 1, desc.c_str()));
    std::wstring fits(4095 - 14, L'e');  // "S\tR\tError\t1\t" is 12 characters, CR LF 2 more
    EXPECT_EQ(S_OK, record(L"S", L"R", 0, 1, fits.c_str()));
    std::wstring first = L"S\tR\tError\t1\t" + std::wstring(4095 - 12 - 2, L'd') + L"\r\n";
    std::wstring second = L"S\tR\tError\t1\t" + fits + L"\r\n";
    ASSERT_EQ(4095u, first.size());
    ASSERT_EQ(4095u, second.size());
    std::wstring all = first + second;
    EXPECT_EQ(unicode ? wicktest::utf16(all) : wicktest::ascii(std::string(all.begin(), all.end())), file.bytes());
  }
}

TEST_P(Log, FileIsAppendedAndClosedAfterEachRecord) {
  wicktest::TempFile file(L"append");
  {
    HANDLE f = CreateFileW(file.path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, f);
    DWORD n;
    WriteFile(f, "old\r\n", 5, &n, nullptr);
    CloseHandle(f);
  }
  to_file(file);
  EXPECT_EQ(S_OK, record(L"a", L"b", 0, 0, L"c"));
  // Nothing is kept open: an exclusive open succeeds at once.
  HANDLE excl = CreateFileW(file.path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(INVALID_HANDLE_VALUE, excl);
  if (excl != INVALID_HANDLE_VALUE) CloseHandle(excl);
  EXPECT_EQ(wicktest::ascii("old\r\na\tb\tError\t0\tc\r\n"), file.bytes());
}

TEST_P(Log, FileOpenedByAWriterIsSkippedAReaderIsNot) {
  wicktest::TempFile file(L"share");
  to_file(file);
  EXPECT_EQ(S_OK, record(L"a", L"b", 0, 0, L"1"));
  {
    // Another reader (sharing everything) does not stop the log.
    HANDLE reader = CreateFileW(file.path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, reader);
    EXPECT_EQ(S_OK, record(L"a", L"b", 0, 0, L"2"));
    CloseHandle(reader);
  }
  {
    // Another writer does: the log refuses to share writing, so the record is skipped.
    HANDLE writer = CreateFileW(file.path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);
    EXPECT_EQ(S_OK, record(L"a", L"b", 0, 0, L"3"));
    CloseHandle(writer);
  }
  EXPECT_EQ(S_OK, record(L"a", L"b", 0, 0, L"4"));
  EXPECT_EQ(wicktest::ascii("a\tb\tError\t0\t1\r\na\tb\tError\t0\t2\r\na\tb\tError\t0\t4\r\n"), file.bytes());
}

TEST_P(Log, FileOutputWithoutUsableNameIsSkipped) {
  ASSERT_EQ(S_OK, log->put_FlagFile(VARIANT_TRUE));
  EXPECT_EQ(S_OK, record(L"a", L"b", 0, 0, L"c"));  // no FileName
  Bstr bad(L"Q:\\no\\such\\folder\\x.log");
  ASSERT_EQ(S_OK, log->put_FileName(bad.get()));
  EXPECT_EQ(S_OK, record(L"a", L"b", 0, 0, L"c"));
  long sev = 0, err = 0;
  Bstr desc;
  ASSERT_EQ(S_OK, log->GetLastError(nullptr, nullptr, &sev, &err, desc.out()));
  EXPECT_EQ(L"c", corvtest::str(desc.get()));
}

// Plain NUL-terminated wide strings serve as well as automation strings.
TEST_P(Log, AcceptsPlainWideStrings) {
  wicktest::TempFile file(L"plain");
  to_file(file);
  ASSERT_EQ(S_OK, log->put_FlagCallOnError(VARIANT_TRUE));
  auto sink = wicktest::Sink::make();
  auto cp = wicktest::log_point(log.get());
  DWORD cookie = 0;
  ASSERT_EQ(S_OK, cp->Advise(sink.get(), &cookie));
  wchar_t sys[] = L"plain system", desc[] = L"plain description";
  EXPECT_EQ(S_OK, log->LogError(sys, sys, 1, 2, desc));
  EXPECT_EQ(wicktest::ascii("plain system\tplain system\tWarning\t2\tplain description\r\n"), file.bytes());
  ASSERT_EQ(1u, sink->events.size());
  EXPECT_EQ(L"plain description", sink->events[0].description);
  EXPECT_EQ(L"plain system", std::wstring(sys));  // arguments are never changed
  cp->Unadvise(cookie);
}

TEST_P(Log, AnswersItsInterfacesOnly) {
  ComPtr<IUnknown> p;
  EXPECT_EQ(S_OK, log->QueryInterface(IID_IDispatch, p.out_void()));
  EXPECT_EQ(S_OK, log->QueryInterface(IID_IConnectionPointContainer, p.out_void()));
  EXPECT_EQ(S_OK, log->QueryInterface(IID_IObjectSafety, p.out_void()));
  EXPECT_EQ(E_NOINTERFACE, log->QueryInterface(IID_IConnectionPoint, p.out_void()));
  EXPECT_EQ(E_NOINTERFACE, log->QueryInterface(IID_IProvideClassInfo, p.out_void()));
  EXPECT_EQ(E_NOINTERFACE, log->QueryInterface(DIID__IzrLogEvents, p.out_void()));

  ComPtr<IObjectSafety> safety;
  ASSERT_EQ(S_OK, log->QueryInterface(IID_IObjectSafety, safety.out_void()));
  DWORD supported = 0, enabled = 9;
  EXPECT_EQ(S_OK, safety->GetInterfaceSafetyOptions(IID_IzrLog, &supported, &enabled));
  EXPECT_EQ(static_cast<DWORD>(INTERFACESAFE_FOR_UNTRUSTED_CALLER), supported);
  EXPECT_EQ(0u, enabled);
  EXPECT_EQ(E_FAIL, safety->SetInterfaceSafetyOptions(IID_IDispatch, INTERFACESAFE_FOR_UNTRUSTED_DATA,
                                                      INTERFACESAFE_FOR_UNTRUSTED_DATA));
  EXPECT_EQ(S_OK, safety->SetInterfaceSafetyOptions(IID_IDispatch, 1, 1));
  EXPECT_EQ(S_OK, safety->GetInterfaceSafetyOptions(IID_IzrLog, &supported, &enabled));
  EXPECT_EQ(1u, enabled);
}

// While a host has marked the callers untrusted (a page's script), the file and the event log
// are out of their reach: a page must not name a file to create (a script in a start-up
// folder, a share that asks for the user's credentials) nor an event source key to make.
TEST_P(Log, UntrustedCallersCanNeitherWriteAFileNorTheEventLog) {
  wicktest::TempFile file(L"untrusted");
  auto untrusted = [](IzrLog* target, bool on) {
    ComPtr<IObjectSafety> safety;
    ASSERT_EQ(S_OK, target->QueryInterface(IID_IObjectSafety, safety.out_void()));
    ASSERT_EQ(S_OK, safety->SetInterfaceSafetyOptions(IID_IDispatch, INTERFACESAFE_FOR_UNTRUSTED_CALLER,
                                                      on ? INTERFACESAFE_FOR_UNTRUSTED_CALLER : 0));
  };
  untrusted(log.get(), true);
  Bstr name(file.path.c_str()), source(L"wick untrusted test");
  EXPECT_EQ(E_ACCESSDENIED, log->put_FileName(name.get()));
  EXPECT_EQ(E_ACCESSDENIED, log->put_FlagFile(VARIANT_TRUE));
  EXPECT_EQ(E_ACCESSDENIED, log->put_EvenSource(source.get()));
  EXPECT_EQ(E_ACCESSDENIED, log->put_FlagEventLog(VARIANT_TRUE));
  EXPECT_EQ(S_OK, log->put_FlagFile(VARIANT_FALSE));  // switching an output off stays allowed
  EXPECT_EQ(S_OK, log->put_FlagCallOnError(VARIANT_FALSE));
  EXPECT_EQ(S_OK, record(L"s", L"o", 0, 5, L"page record"));  // the record itself is still taken
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(file.path.c_str()));

  // Outputs a trusted host switched on before marking the callers untrusted are not theirs to
  // use either: the record is refused whole, and taken again once the host lifts the mark.
  log = wicktest::make<IzrLog>(CLSID_zrLog, GetParam());
  ASSERT_TRUE(log);
  to_file(file);
  untrusted(log.get(), true);
  EXPECT_EQ(E_ACCESSDENIED, record(L"s", L"o", 0, 5, L"page record"));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(file.path.c_str()));
  long severity = -1, error = -1;
  EXPECT_EQ(S_OK, log->GetLastError(nullptr, nullptr, &severity, &error, nullptr));
  EXPECT_EQ(0, error);
  untrusted(log.get(), false);
  EXPECT_EQ(S_OK, record(L"s", L"o", 0, 5, L"host record"));
  EXPECT_EQ(wicktest::ascii("s\to\tError\t5\thost record\r\n"), file.bytes());
}

TEST_P(Log, ConnectionPointContainerHasExactlyOnePoint) {
  ComPtr<IConnectionPointContainer> cpc;
  ASSERT_EQ(S_OK, log->QueryInterface(IID_IConnectionPointContainer, cpc.out_void()));
  ComPtr<IConnectionPoint> other;
  EXPECT_EQ(CONNECT_E_NOCONNECTION, cpc->FindConnectionPoint(IID_IDispatch, other.out()));
  EXPECT_FALSE(other);

  ComPtr<IEnumConnectionPoints> points;
  ASSERT_EQ(S_OK, cpc->EnumConnectionPoints(points.out()));
  IConnectionPoint* got[3] = {};
  ULONG fetched = 0;
  EXPECT_EQ(S_FALSE, points->Next(3, got, &fetched));
  ASSERT_EQ(1u, fetched);
  ComPtr<IConnectionPoint> first = ComPtr<IConnectionPoint>::attach(got[0]);
  IID iid = {};
  EXPECT_EQ(S_OK, first->GetConnectionInterface(&iid));
  EXPECT_TRUE(IsEqualIID(DIID__IzrLogEvents, iid));
  ComPtr<IConnectionPoint> found = wicktest::log_point(log.get());
  EXPECT_EQ(first.get(), found.get());
  ComPtr<IConnectionPointContainer> back;
  ASSERT_EQ(S_OK, found->GetConnectionPointContainer(back.out()));
  ComPtr<IUnknown> id1, id2;
  back->QueryInterface(IID_IUnknown, id1.out_void());
  log->QueryInterface(IID_IUnknown, id2.out_void());
  EXPECT_EQ(id1.get(), id2.get());
  ComPtr<IEnumConnectionPoints> clone;
  EXPECT_EQ(S_OK, points->Reset());
  EXPECT_EQ(S_OK, points->Skip(1));
  EXPECT_EQ(S_OK, points->Clone(clone.out()));
  EXPECT_EQ(S_FALSE, clone->Next(1, got, nullptr));
}

TEST_P(Log, OnErrorReachesEverySinkWithItsOwnCopies) {
  auto cp = wicktest::log_point(log.get());
  ASSERT_TRUE(cp);
  auto a = wicktest::Sink::make(), b = wicktest::Sink::make();
  LONG base = a->refs();
  DWORD ca = 0, cb = 0;
  ASSERT_EQ(S_OK, cp->Advise(a.get(), &ca));
  ASSERT_EQ(S_OK, cp->Advise(b.get(), &cb));
  EXPECT_NE(0u, ca);
  EXPECT_NE(ca, cb);
  EXPECT_EQ(base + 1, a->refs());

  // FlagCallOnError reads 1 on a new object and is on.
  EXPECT_EQ(S_OK, record(L"Sys", L"Src", 4, static_cast<long>(0x80070005), L"D"));
  ASSERT_EQ(1u, a->events.size());
  ASSERT_EQ(1u, b->events.size());
  for (auto* s : {a.get(), b.get()}) {
    const wicktest::Event& e = s->events[0];
    EXPECT_EQ(1, e.id);
    EXPECT_EQ((std::vector<VARTYPE>{VT_BSTR, VT_BSTR, VT_I4, VT_I4, VT_BSTR}), e.types);
    EXPECT_EQ(L"Sys", e.system);  // the first sink's change did not reach the second
    EXPECT_EQ(L"Src", e.source);
    EXPECT_EQ(4, e.severity);
    EXPECT_EQ(static_cast<long>(0x80070005), e.error);
    EXPECT_EQ(L"D", e.description);
  }

  // The strings are as given, not cut like the file line.
  std::wstring big(6000, L'z');
  EXPECT_EQ(S_OK, record(L"s", L"s", 0, 0, big.c_str()));
  ASSERT_EQ(2u, a->events.size());
  EXPECT_EQ(big, a->events[1].description);

  // Not fired for a filtered record, nor with the flag off; a failing sink changes nothing.
  ASSERT_EQ(S_OK, log->put_FilterSeverity(1));
  EXPECT_EQ(S_FALSE, record(L"s", L"s", 2, 0, L"d"));
  ASSERT_EQ(S_OK, log->put_FilterSeverity(-1));
  ASSERT_EQ(S_OK, log->put_FlagCallOnError(VARIANT_FALSE));
  EXPECT_EQ(S_OK, record(L"s", L"s", 2, 0, L"d"));
  EXPECT_EQ(2u, a->events.size());
  ASSERT_EQ(S_OK, log->put_FlagCallOnError(VARIANT_TRUE));
  a->answer = E_FAIL;
  EXPECT_EQ(S_OK, record(L"s", L"s", 2, 0, L"d"));
  EXPECT_EQ(3u, a->events.size());
  EXPECT_EQ(3u, b->events.size());

  EXPECT_EQ(S_OK, cp->Unadvise(ca));
  EXPECT_EQ(CONNECT_E_NOCONNECTION, cp->Unadvise(ca));
  EXPECT_EQ(base, a->refs());
  EXPECT_EQ(S_OK, record(L"s", L"s", 2, 0, L"d"));
  EXPECT_EQ(3u, a->events.size());
  EXPECT_EQ(4u, b->events.size());
  // Releasing the log releases the sinks still connected.
  log.reset();
  cp.reset();
  EXPECT_EQ(base, b->refs());
}

TEST_P(Log, AdviseRefusesSinksWithoutTheEventInterface) {
  auto cp = wicktest::log_point(log.get());
  auto mute = wicktest::Sink::make(false);
  DWORD cookie = 77;
  EXPECT_EQ(CONNECT_E_CANNOTCONNECT, cp->Advise(mute.get(), &cookie));
  EXPECT_EQ(0u, cookie);
  EXPECT_EQ(E_POINTER, cp->Advise(nullptr, &cookie));
  EXPECT_EQ(1, mute->refs());
}

TEST_P(Log, EnumConnectionsListsTheLiveConnections) {
  auto cp = wicktest::log_point(log.get());
  auto a = wicktest::Sink::make(), b = wicktest::Sink::make(), c = wicktest::Sink::make();
  DWORD ka, kb, kc;
  ASSERT_EQ(S_OK, cp->Advise(a.get(), &ka));
  ASSERT_EQ(S_OK, cp->Advise(b.get(), &kb));
  ASSERT_EQ(S_OK, cp->Advise(c.get(), &kc));
  ASSERT_EQ(S_OK, cp->Unadvise(kb));
  ComPtr<IEnumConnections> en;
  ASSERT_EQ(S_OK, cp->EnumConnections(en.out()));
  ASSERT_EQ(S_OK, cp->Unadvise(kc));  // the enumerator holds a snapshot
  CONNECTDATA got[4] = {};
  ULONG n = 0;
  EXPECT_EQ(E_POINTER, en->Next(2, got, nullptr));
  EXPECT_EQ(S_FALSE, en->Next(4, got, &n));
  ASSERT_EQ(2u, n);
  EXPECT_EQ(ka, got[0].dwCookie);
  EXPECT_EQ(kc, got[1].dwCookie);
  EXPECT_EQ(static_cast<IUnknown*>(static_cast<IDispatch*>(a.get())), got[0].pUnk);
  for (ULONG i = 0; i < n; ++i) got[i].pUnk->Release();
  ComPtr<IEnumConnections> clone;
  EXPECT_EQ(S_OK, en->Reset());
  EXPECT_EQ(S_OK, en->Skip(1));
  ASSERT_EQ(S_OK, en->Clone(clone.out()));
  EXPECT_EQ(S_OK, clone->Next(1, got, nullptr));
  EXPECT_EQ(kc, got[0].dwCookie);
  got[0].pUnk->Release();
  en.reset();
  clone.reset();
  EXPECT_EQ(1, c->refs());
  EXPECT_EQ(1, b->refs());
  EXPECT_EQ(2, a->refs());
}

// Sinks run outside the object's lock: one may call back, even disconnect itself.
TEST_P(Log, SinkMayCallBackAndDisconnectDuringOnError) {
  struct Ctx {
    IzrLog* log;
    IConnectionPoint* cp;
    DWORD cookie;
    std::wstring seen;
  };
  auto cp = wicktest::log_point(log.get());
  auto s = wicktest::Sink::make();
  Ctx ctx{log.get(), cp.get(), 0, L""};
  ASSERT_EQ(S_OK, cp->Advise(s.get(), &ctx.cookie));
  s->during_arg = &ctx;
  s->during = [](wicktest::Sink*, void* p) {
    auto* c = static_cast<Ctx*>(p);
    BSTR desc = nullptr;
    long sev, err;
    c->log->GetLastError(nullptr, nullptr, &sev, &err, &desc);
    c->seen = desc ? desc : L"?";
    SysFreeString(desc);
    c->cp->Unadvise(c->cookie);
  };
  EXPECT_EQ(S_OK, record(L"s", L"s", 0, 0, L"inside"));
  EXPECT_EQ(L"inside", ctx.seen);
  EXPECT_EQ(S_OK, record(L"s", L"s", 0, 0, L"after"));
  EXPECT_EQ(1u, s->events.size());
}

INSTANTIATE_TEST_SUITE_P(Wick, Log, ::testing::Values(Via::Registry, Via::Factory), wicktest::via_name);

}  // namespace
