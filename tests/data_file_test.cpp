// Data files: reading 141 labelled lines into the enabled fields, refusing
// files that are not data files without touching a field, and writing the
// field texts as a data file that reads back unchanged.

#include <gtest/gtest.h>

#include <filesystem>
#include <utility>

#include <sys/stat.h>
#include <string>
#include <vector>

#include "engine/FilmState.h"
#include "files/DataFile.h"
#include "files/ResultFile.h"
#include "files_test_support.h"
#include "tests/support/EngineTestSupport.h"

namespace kelvane {
namespace {

using filetest::ReadBytes;
using filetest::SplitCrLf;
using filetest::WriteBytes;

// 141 well-formed lines; line i carries the value "<i>.5".
std::vector<std::string> NumberedLines() {
  std::vector<std::string> lines;
  for (int i = 1; i <= DataFileLineCount; ++i) lines.push_back("    line " + std::to_string(i) + " =  " + std::to_string(i) + ".5");
  return lines;
}

std::string Join(const std::vector<std::string>& lines, const std::string& end = "\r\n") {
  std::string s;
  for (const auto& l : lines) s += l + end;
  return s;
}

class DataFileTest : public filetest::ScratchDir {
 protected:
  DataFileStatus Load(const std::string& bytes) {
    WriteBytes(Path("data.txt"), bytes);
    return InputDataFile(Path("data.txt"), fields, host);
  }
  std::string NotADataFile() const { return "\"" + Path("data.txt") + "\" is not a correct data file!"; }

  FieldTextMap fields;
  enginetest::RecordingHost host;
};

TEST_F(DataFileTest, LabelLinesOfAFourteenZoneEchoFillEveryEnabledField) {
  FieldTextMap source;
  for (int k = 3; k <= 14; ++k)
    for (int i = 1; i <= 6; ++i) source.SetText(ZoneComponent(k, i), std::to_string(k * 10 + i) + ".25");
  source.SetText("Edit204", "1.234");   // FIX(4,2) prints 1.23
  source.SetText("Edit222", "999.0");   // disabled: printed, never loaded
  source.SetText("Edit251", "0.5");
  RunSetup setup = filetest::SetupFromTexts(source);
  ASSERT_EQ(setup.ZoneCount, 14);
  setup.SaveFileName = Path("echo.txt");
  ASSERT_EQ(WriteInputEcho(setup).Status, WriteStatus::Ok);
  for (int k = 2; k <= 14; ++k) ASSERT_EQ(AppendZoneConditions(setup, k).Status, WriteStatus::Ok);

  std::vector<std::string> labelLines;
  for (const std::string& line : SplitCrLf(ReadBytes(setup.SaveFileName)))
    if (line.find("=  ") != std::string::npos) labelLines.push_back(line);
  ASSERT_EQ(labelLines.size(), 141u);

  fields.SetText("Edit250", "keep.txt");
  ASSERT_EQ(Load(Join(labelLines)), DataFileStatus::Applied);
  EXPECT_TRUE(host.Messages.empty());

  EXPECT_EQ(fields.Text("Edit19"), "2.00000");
  EXPECT_EQ(fields.Text("Edit20"), "20");
  EXPECT_EQ(fields.Text("Edit204"), "1.23");
  EXPECT_EQ(fields.Text("Edit201"), "0.354");
  EXPECT_EQ(fields.Text("Edit255"), "-6.01069E+02");
  EXPECT_EQ(fields.Text("Edit7"), "60.00");
  EXPECT_EQ(fields.Text("Edit141"), "141.25");
  EXPECT_EQ(fields.Text("Edit146"), "146.25000000");
  EXPECT_EQ(fields.Text("Edit222"), "360.0");
  EXPECT_EQ(fields.Text("Edit251"), "0.001316");
  EXPECT_EQ(fields.Text("Edit250"), "keep.txt");
  for (int i = 1; i <= DataFileLineCount; ++i) {
    const FieldSpec& f = FieldForDataLine(i);
    if (!f.Enabled) continue;
    const std::string& line = labelLines[i - 1];
    EXPECT_EQ(fields.Text(f.Component), line.substr(line.find("=  ") + 3)) << f.Component;
  }
}

TEST_F(DataFileTest, FilesThatAreNotDataFilesChangeNothing) {
  const FieldTextMap before = fields;

  // A result file: line 1 is a rule of "=", line 2 a title without "=".
  RunSetup setup = filetest::DefaultSetup();
  setup.SaveFileName = Path("data.txt");
  ASSERT_EQ(WriteInputEcho(setup).Status, WriteStatus::Ok);
  EXPECT_EQ(InputDataFile(Path("data.txt"), fields, host), DataFileStatus::NotADataFile);

  std::vector<std::string> lines = NumberedLines();
  lines.pop_back();  // 140 lines
  EXPECT_EQ(Load(Join(lines)), DataFileStatus::NotADataFile);

  lines = NumberedLines();
  lines[140] = "    line 141 60.0";  // the last line lacks "="
  EXPECT_EQ(Load(Join(lines)), DataFileStatus::NotADataFile);

  EXPECT_EQ(Load(""), DataFileStatus::NotADataFile);

  ASSERT_EQ(host.Messages.size(), 4u);
  for (const auto& m : host.Messages) EXPECT_EQ(m, NotADataFile());

  // Text of another encoding, and a NUL in a value: refused with the reason.
  host.Messages.clear();
  std::string utf16 = "\xFF\xFE";
  for (char c : Join(NumberedLines())) utf16 += std::string{c, '\0'};
  EXPECT_EQ(Load(utf16), DataFileStatus::NotADataFile);
  lines = NumberedLines();
  lines[4] = "    line 5 = 6" + std::string(1, '\0') + "0";
  EXPECT_EQ(Load(Join(lines)), DataFileStatus::NotADataFile);
  ASSERT_EQ(host.Messages.size(), 2u);
  EXPECT_EQ(host.Messages[0], NotADataFile() + "\nit is UTF-16 text (it begins with a byte-order mark); a data file is "
                                               "Shift_JIS");
  EXPECT_EQ(host.Messages[1], NotADataFile() + "\nline 5 holds the control byte 0x00 in its value");
  EXPECT_EQ(fields.All(), before.All());
}

TEST_F(DataFileTest, OnlyTheFirst141LinesCount) {
  std::vector<std::string> lines = NumberedLines();
  for (int i = 142; i <= 150; ++i) lines.push_back("no equals sign here");
  ASSERT_EQ(Load(Join(lines)), DataFileStatus::Applied);
  EXPECT_EQ(fields.Text("Edit146"), "141.5");
  EXPECT_EQ(fields.Text("Edit211"), "1.5");
}

TEST_F(DataFileTest, LineEndsAndTheEndOfFileByte) {
  const std::vector<std::string> lines = NumberedLines();
  ASSERT_EQ(Load(Join(lines, "\r\n")), DataFileStatus::Applied);
  const auto crlf = fields.All();
  fields = FieldTextMap();
  ASSERT_EQ(Load(Join(lines, "\n")), DataFileStatus::Applied);
  EXPECT_EQ(fields.All(), crlf);
  // No line end after the last line.
  fields = FieldTextMap();
  std::string bytes = Join(lines, "\n");
  bytes.pop_back();
  ASSERT_EQ(Load(bytes), DataFileStatus::Applied);
  EXPECT_EQ(fields.All(), crlf);

  // A CR without LF is dropped from its line; 0x1A ends the file.
  std::vector<std::string> marked = lines;
  marked[0] = "a =  2.\r12";
  marked[140] = "b =  7\x1A" "8";
  std::string withTail = Join(marked) + "\x1A";
  ASSERT_EQ(Load(withTail + "garbage without equals\r\n"), DataFileStatus::Applied);
  EXPECT_EQ(fields.Text("Edit211"), "2.12");
  EXPECT_EQ(fields.Text("Edit146"), "7");

  // 0x1A in line 100: the lines after it are missing, so the file is refused.
  marked = lines;
  marked[99] += "\x1A";
  EXPECT_EQ(Load(Join(marked)), DataFileStatus::NotADataFile);

  // A long line across the reader's 64 KiB blocks.
  marked = lines;
  marked[1] = std::string(65520, 'L') + "=  3.25";
  ASSERT_EQ(Load(Join(marked)), DataFileStatus::Applied);
  EXPECT_EQ(fields.Text("Edit212"), "3.25");
}

TEST_F(DataFileTest, ValueIsTheFirstWordAfterTheFirstEquals) {
  std::vector<std::string> lines = NumberedLines();
  lines[0] = "    Heat Capacity of Polymer (J/g.K) =   0.354   remark";  // Edit211
  lines[1] = "Density=0.354";                                             // Edit212
  lines[2] = "    Heat Capacity of Solvent-1 (J/g.K)= ";                  // Edit221
  lines[4] = "x =\t0.5 tab kept";                                        // Edit223
  lines[8] = "wrong label, right place =  -0.70170 comment";             // Edit227
  lines[9] = "a = b=c";                                                   // Edit228
  lines[10] = "=";                                                        // Edit231
  ASSERT_EQ(Load(Join(lines)), DataFileStatus::Applied);
  EXPECT_EQ(fields.Text("Edit211"), "0.354");
  EXPECT_EQ(fields.Text("Edit212"), "0.354");
  EXPECT_EQ(fields.Text("Edit221"), "");
  EXPECT_EQ(fields.Text("Edit223"), "\t0.5");
  EXPECT_EQ(fields.Text("Edit227"), "-0.70170");
  EXPECT_EQ(fields.Text("Edit228"), "b=c");
  EXPECT_EQ(fields.Text("Edit231"), "");
}

TEST_F(DataFileTest, DisabledFieldsAndSaveFileNameKeepTheirTexts) {
  fields.SetText("Edit250", "mine.txt");
  const FieldTextMap before = fields;
  ASSERT_EQ(Load(Join(NumberedLines())), DataFileStatus::Applied);
  int changed = 0;
  for (const FieldSpec& f : FieldTable()) {
    if (f.Enabled && f.DataLine > 0) {
      EXPECT_EQ(fields.Text(f.Component), std::to_string(f.DataLine) + ".5");
      ++changed;
    } else {
      EXPECT_EQ(fields.Text(f.Component), before.Text(f.Component)) << f.Component;
    }
  }
  EXPECT_EQ(changed, 141 - 12);
  for (int line : {4, 6, 7, 8, 12, 14, 15, 16, 28, 29, 39, 40}) EXPECT_FALSE(FieldForDataLine(line).Enabled);
}

TEST_F(DataFileTest, ValuesAreDecodedFromShiftJis) {
  std::vector<std::string> lines = NumberedLines();
  lines[0] = "\x83\xD4" "1p =  \x83\xD6" "1";  // label with chi, value omega + "1"
  lines[1] = "x =  \x80" "5";                  // 0x80 is no character of the code page
  ASSERT_EQ(Load(Join(lines)), DataFileStatus::Applied);
  EXPECT_EQ(fields.Text("Edit211"), "ω1");
  EXPECT_EQ(fields.Text("Edit212"), "\xEF\xBF\xBD" "5");
}

// The faithful message, then the file and the reason.  Only a regular file
// is read: a FIFO without a writer would block for ever and /dev/zero never
// ends.
TEST_F(DataFileTest, UnreadableFileIsToldWithTheReason) {
  const FieldTextMap before = fields;
  const std::string fifo = Path("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string tooLong = Path(std::string(300, 'n'));
  const std::pair<std::string, std::string> cases[] = {
      {Path("missing.txt"), "No such file or directory"},
      {dir_.string(), "Is a directory"},
      {tooLong, "File name too long"},
      {fifo, "not a regular file"},
      {"/dev/zero", "not a regular file"},
  };
  for (const auto& [path, reason] : cases) {
    host.Messages.clear();
    EXPECT_EQ(InputDataFile(path, fields, host), DataFileStatus::CannotOpen);
    EXPECT_EQ(host.Messages, std::vector<std::string>{"Data file can not open!\n" + path + ": " + reason});
  }
  EXPECT_EQ(fields.All(), before.All());
}

// A line far longer than any data file's (a file without line breaks) is
// refused once the limit is passed, not read whole.
TEST_F(DataFileTest, LineFarTooLongIsRefused) {
  std::vector<std::string> lines = NumberedLines();
  lines[2] = "x = " + std::string(MaxDataLineBytes, '1');
  const FieldTextMap before = fields;
  EXPECT_EQ(Load(Join(lines)), DataFileStatus::NotADataFile);
  EXPECT_EQ(host.Messages, std::vector<std::string>{NotADataFile() + "\nline 3 is longer than 65536 bytes"});
  EXPECT_EQ(fields.All(), before.All());
  lines[2].resize(MaxDataLineBytes);
  host.Messages.clear();
  EXPECT_EQ(Load(Join(lines)), DataFileStatus::Applied);
}

TEST_F(DataFileTest, WrittenDataFileReadsBackToTheSameTexts) {
  FieldTextMap source;
  for (int k = 3; k <= 14; ++k)
    for (int i = 1; i <= 6; ++i) source.SetText(ZoneComponent(k, i), std::to_string(k) + "." + std::to_string(i));
  source.SetText("Edit22", "");             // an empty zone field
  source.SetText("Edit5", "1,5");           // a text in another locale's form
  source.SetText("Edit201", "χ");           // not a number, but a text all the same
  source.SetText("Edit255", "-6.01069E2");
  source.SetText("Edit250", "other.txt");
  ASSERT_TRUE(WriteDataFile(Path("saved.txt"), source));

  const std::string bytes = ReadBytes(Path("saved.txt"));
  const auto lines = SplitCrLf(bytes);
  ASSERT_EQ(lines.size(), 141u);
  EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
  EXPECT_EQ(lines[0], "    Heat Capacity of Polymer (J/g.K)                   =  2.12");
  EXPECT_EQ(lines[3], "    Heat of Vaporization of Solvent-1 (J/g)            =  360.0");
  EXPECT_EQ(lines[20], "    Interaction Parameter \x83\xD4" "1p                         =  \x83\xD4");
  EXPECT_EQ(lines[27], "        F1                               =  0.001316");
  EXPECT_EQ(lines[50], "    Number of Layers                                   =  20");
  EXPECT_EQ(lines[56], "    Initial Temperature (\x81\x8E)                          =  30.0");
  EXPECT_EQ(lines[64], "    Zone Length (m)                                   =  ");
  EXPECT_EQ(lines[140], "    Coat-side Heat Trans. Coeff. (W/cm^2.K)           =  14.6");

  for (const FieldSpec& f : FieldTable()) fields.SetText(f.Component, "x");
  const FieldTextMap before = fields;
  ASSERT_EQ(InputDataFile(Path("saved.txt"), fields, host), DataFileStatus::Applied);
  for (const FieldSpec& f : FieldTable()) {
    const bool loaded = f.Enabled && f.DataLine > 0;
    EXPECT_EQ(fields.Text(f.Component), (loaded ? source : before).Text(f.Component)) << f.Component;
  }
}

TEST_F(DataFileTest, TextsThatCannotComeBackAreRefused) {
  WriteBytes(Path("saved.txt"), "earlier contents");
  for (const std::string& text : {std::string("1.0 m"), std::string(" 1.0"), std::string("1.0\r"), std::string("1\n2"),
                                  std::string("1\x1A"), std::string("😀"), std::string("\xFF"), std::string("1\x1B"),
                                  std::string("1.0\0junk", 8)}) {
    FieldTextMap source;
    source.SetText("Edit8", text);
    const DataFileWriteResult r = WriteDataFileChecked(Path("saved.txt"), source);
    EXPECT_EQ(r.Result, DataFileWriteResult::Status::UnwritableText) << text;
    EXPECT_EQ(r.Field, "Edit8");
    EXPECT_FALSE(WriteDataFile(Path("saved.txt"), source));
  }
  EXPECT_EQ(ReadBytes(Path("saved.txt")), "earlier contents");

  const DataFileWriteResult r = WriteDataFileChecked(Path("no-folder/saved.txt"), FieldTextMap());
  EXPECT_EQ(r.Result, DataFileWriteResult::Status::OpenFailed);
}

}  // namespace
}  // namespace kelvane
