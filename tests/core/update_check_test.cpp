// The pure parts of a firmware update: the compatibility check, the
// requests and the failure texts.
#include "core/update/UpdateCheck.h"
#include "core/update/UploadRequests.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

const char* const kOlderFirmware =
    "File contains older firmware than installed, do you really want to install the old version (could drive the "
    "Pocket unaccessible)?";
const char* const kOlderLan =
    "File contains older LAN driver than installed, do you really want to install the old version (could drive the "
    "Pocket unaccessible)?";
const char* const kNeedsV9 =
    "File contains old firmware not compatible to newer LAN driver, please install firmware Vxx9 or higher!";
const char* const kNeedsLan3 =
    "Firmware is not compatible to old LAN driver, please install LAN driver V03 or higher first!";

// "LAN V0<lan>; ZEL0A1B V10<fw>": character 7 = lan, character 21 = fw.
QByteArray Description(char lan, char fw) { return QByteArray("LAN V0") + lan + "; ZEL0A1B V10" + fw; }

TEST(UpdateCheck, DecidesByTargetExtensionAndVersionCharacters) {
  using T = TUpdateTarget;
  using K = TBoxKind;
  struct Case {
    const char* what;
    T target;
    const char* name;  // version character is the 10th
    const char* ext;
    QByteArray description;
    std::vector<bool> answers;           // to the questions, in order
    std::vector<const char*> questions;  // expected
    bool go;
    uint8_t code;
    const char* refusal;  // nullptr: none shown
    K kind;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {"no target", T::None, "ZEL74_V115.RPD", ".RPD", Description('3', '5'), {}, {}, false, 0, "No Target selected!",
       K::Information},
      {"pocket .RPD", T::Pocket, "ZEL74_V119.RPD", ".RPD", Description('3', '5'), {}, {}, true, 12, nullptr, {}},
      {"pocket .rpd", T::Pocket, "ZEL74_V119.rpd", ".rpd", Description('3', '5'), {}, {}, true, 12, nullptr, {}},
      {"pocket .Rpd", T::Pocket, "ZEL74_V115.Rpd", ".Rpd", Description('3', '5'), {}, {}, false, 0, "No  *.RPD File!",
       K::Information},
      {"pocket .BIN", T::Pocket, "ZEL74_V115.BIN", ".BIN", Description('3', '5'), {}, {}, false, 0, "No  *.RPD File!",
       K::Information},
      {"pocket no ext", T::Pocket, "ZEL74_V115", "", Description('3', '5'), {}, {}, false, 0, "No  *.RPD File!",
       K::Information},
      {"lan .BIN", T::Lan, "ZELLAN_V04.BIN", ".BIN", Description('3', '5'), {}, {}, true, 9, nullptr, {}},
      {"lan .bin", T::Lan, "ZELLAN_V03.bin", ".bin", Description('3', '5'), {}, {}, true, 9, nullptr, {}},
      {"lan .Bin", T::Lan, "ZELLAN_V04.Bin", ".Bin", Description('3', '5'), {}, {}, false, 0, "No  *.BIN File!",
       K::Information},
      {"lan .RPD", T::Lan, "ZELLAN_V04.RPD", ".RPD", Description('3', '5'), {}, {}, false, 0, "No  *.BIN File!",
       K::Information},
      {"older firmware, No", T::Pocket, "ZEL74_V117.RPD", ".RPD", Description('3', '9'), {false}, {kOlderFirmware},
       false, 0, nullptr, {}},
      {"older firmware, Yes, LAN 3 needs V9", T::Pocket, "ZEL74_V117.RPD", ".RPD", Description('3', '9'), {true},
       {kOlderFirmware}, false, 0, kNeedsV9, K::QuestionOk},
      {"older firmware, Yes, old LAN", T::Pocket, "ZEL74_V117.RPD", ".RPD", Description('2', '9'), {true},
       {kOlderFirmware}, true, 12, nullptr, {}},
      {"equal firmware asks nothing", T::Pocket, "ZEL74_V119.RPD", ".RPD", Description('3', '9'), {}, {}, true, 12,
       nullptr, {}},
      {"letter is newer than digit", T::Pocket, "ZEL74_V11A.RPD", ".RPD", Description('3', '9'), {}, {}, true, 12,
       nullptr, {}},
      {"new firmware needs LAN 3", T::Pocket, "ZEL74_V11A.RPD", ".RPD", Description('2', '9'), {}, {}, false, 0,
       kNeedsLan3, K::QuestionOk},
      {"digit is older than letter", T::Pocket, "ZEL74_V119.RPD", ".RPD", Description('3', 'A'), {false},
       {kOlderFirmware}, false, 0, nullptr, {}},
      {"old firmware, new LAN", T::Pocket, "ZEL74_V118.RPD", ".RPD", Description('4', '5'), {}, {}, false, 0,
       kNeedsV9, K::QuestionOk},
      {"older LAN, No", T::Lan, "ZELLAN_V02.BIN", ".BIN", Description('3', '9'), {false}, {kOlderLan}, false, 0,
       nullptr, {}},
      {"older LAN, Yes", T::Lan, "ZELLAN_V02.BIN", ".BIN", Description('3', '9'), {true}, {kOlderLan}, true, 9,
       nullptr, {}},
      {"LAN ignores the firmware", T::Lan, "ZELLAN_V03.BIN", ".BIN", Description('3', 'F'), {}, {}, true, 9, nullptr,
       {}},
      {"short name", T::Pocket, "ZEL_1.RPD", ".RPD", Description('3', '5'), {}, {}, false, 0, "", K::Error},
      {"short name LAN", T::Lan, "LAN_3.BIN", ".BIN", Description('3', '5'), {}, {}, false, 0, "", K::Error},
      // Says what reads the versions: the WLAN search does, Synchronize does not.
      {"no versions yet", T::Pocket, "ZEL74_V115.RPD", ".RPD", "", {}, {}, false, 0,
       "The device has not reported its installed versions yet (the device description is too short to compare). "
       "Read them with Interface > Find WLAN Connection, then try again. Nothing was sent.",
       K::Error},
      {"description cut at 20", T::Pocket, "ZEL74_V115.RPD", ".RPD", Description('3', '5').left(20), {}, {}, false,
       0, "", K::Error},
      {"LAN needs only 7", T::Lan, "ZELLAN_V04.BIN", ".BIN", Description('3', '5').left(7), {}, {}, true, 9, nullptr,
       {}},
      {"LAN description cut at 6", T::Lan, "ZELLAN_V04.BIN", ".BIN", "LAN V0", {}, {}, false, 0, "", K::Error},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> asked;
    std::vector<bool> answers = c.answers;
    const TUpdateCheckResult r = CheckUpdate({c.target, c.name, c.ext, c.description}, [&](const char* q) {
      asked.emplace_back(q);
      if (answers.empty()) return false;
      const bool a = answers.front();
      answers.erase(answers.begin());
      return a;
    });
    EXPECT_EQ(asked, std::vector<std::string>(c.questions.begin(), c.questions.end()));
    EXPECT_EQ(r.go, c.go);
    if (c.go) {
      EXPECT_EQ(r.requestCode, c.code);
    }
    if (c.refusal == nullptr) {
      EXPECT_EQ(r.asked, !c.go);
    } else {
      EXPECT_FALSE(r.asked);
      EXPECT_EQ(r.kind, c.kind);
      if (c.kind == K::Error && *c.refusal == '\0') {
        EXPECT_FALSE(r.refusal.isEmpty());
      } else {
        EXPECT_EQ(r.refusal, QByteArray(c.refusal));
      }
    }
  }
}

TEST(UpdateCheck, ComparesCharactersAsSignedBytes) {
  // A character above 0x7F counts as older than any digit.
  const QByteArray name = QByteArray("ZEL74_V11") + char(0xE4) + ".RPD";
  int questions = 0;
  CheckUpdate({TUpdateTarget::Pocket, name, ".RPD", Description('3', '0')}, [&](const char*) {
    ++questions;
    return false;
  });
  EXPECT_EQ(questions, 1);
}

TEST(UpdateCheck, NameAndExtensionOfAPath) {
  EXPECT_EQ(FileName8Bit(QStringLiteral("/tmp/dir.x/ZEL74_V115.RPD")), QByteArray("ZEL74_V115.RPD"));
  EXPECT_EQ(Extension8Bit(QStringLiteral("/tmp/dir.x/ZEL74_V115.RPD")), QByteArray(".RPD"));
  EXPECT_EQ(Extension8Bit(QStringLiteral("/tmp/dir.x/ZEL74_V115.tar.bin")), QByteArray(".bin"));
  EXPECT_EQ(Extension8Bit(QStringLiteral("/tmp/dir.x/ZEL74_V115")), QByteArray());
  EXPECT_EQ(FileName8Bit(QStringLiteral("/tmp/Grüße_V11.RPD")), QByteArray("Gr\xFC\xDF"
                                                                           "e_V11.RPD"));
}

TEST(UpdateCheck, VerifiesTheUpdatedTargetsVersionCharacterAfterTheRestart) {
  using T = TUpdateTarget;
  struct Case {
    const char* what;
    T target;
    const char* name;  // version character is the 10th
    QByteArray description;
    bool verified;
    char expected, found;
    int position;
  };
  const Case cases[] = {
      {"firmware took", T::Pocket, "ZELPOCKETA.RPD", Description('3', 'A'), true, 'A', 'A', 21},
      {"firmware kept the old version", T::Pocket, "ZELPOCKETA.RPD", Description('3', '9'), false, 'A', '9', 21},
      {"firmware compares character 21, not the LAN driver's", T::Pocket, "ZELPOCKET3.RPD", Description('3', '9'),
       false, '3', '9', 21},
      {"LAN driver took", T::Lan, "ZELLANDRV4.BIN", Description('4', '9'), true, '4', '4', 7},
      {"LAN driver compares character 7, not the firmware's", T::Lan, "ZELLANDRV9.BIN", Description('3', '9'), false,
       '9', '3', 7},
      {"the letter's case counts, as in the checks", T::Pocket, "ZELPOCKETa.RPD", Description('3', 'A'), false, 'a',
       'A', 21},
      {"a description too short to hold character 21", T::Pocket, "ZELPOCKETA.RPD", "LAN V03; ZEL0A1B VA", false, 'A',
       0, 21},
      {"no description: the device reported no versions", T::Lan, "ZELLANDRV4.BIN", "", false, '4', 0, 7},
      {"a name too short to hold the version", T::Lan, "ZEL.BIN", Description('4', '9'), false, 0, '4', 7},
      {"no target", T::None, "ZELPOCKETA.RPD", Description('3', 'A'), false, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const TUpdateVerdict v = VerifyUpdate(c.target, c.name, c.description);
    EXPECT_EQ(v.verified, c.verified);
    EXPECT_EQ(v.expected, c.expected);
    EXPECT_EQ(v.found, c.found);
    EXPECT_EQ(v.position, c.position);
  }
}

TEST(UpdateCheck, TheVersionCharacterOfANameIsADigitOrAToF) {
  const struct {
    const char* name;
    std::optional<char> version;
  } cases[] = {
      {"ZELPOCKETA.RPD", 'A'},
      {"ZEL74_V119.RPD", '9'},
      {"ZELLAN_V03.BIN", '3'},
      {"ZELPOCKETF", 'F'},
      {"ZELPOCKET0.RPD", '0'},
      {"ZEL_POCKET_A.RPD", std::nullopt},  // its 10th character is T
      {"ZELPOCKETa.RPD", std::nullopt},    // the device shows its versions in upper case
      {"ZELPOCKETG.RPD", std::nullopt},
      {"ZELPOCKET .RPD", std::nullopt},
      {"ZELPOCKET\xC4.RPD", std::nullopt},
      {"SHORT.RPD", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(NameVersionCharacter(QByteArray(c.name)), c.version) << c.name;
}

TEST(UploadRequests, FailureTexts) {
  const std::vector<std::pair<int32_t, const char*>> cases = {
      {1, "NACK_TX_Port: Data can not be sent to external task!"},
      {2, "NACK_TX_Queue: Data can not be sent to external task!"},
      {3, "NACK_TX_Memory: Data can not be sent to external task!"},
      {4, "NACK_RX_Queue: Configuration can not be saved!"},
      {5, "NACK_RX_Time: Timeout at transfer!"},
      {6, "NACK_RX_Data: Data failure at transfer!"},
      {90, "Exception caused by device driver!"},
      {7, "Exception caused by device driver!"},
      {0x1234, "Exception caused by device driver!"},
  };
  for (const auto& [code, text] : cases) EXPECT_STREQ(OutcomeTableText(UploadFailure(code)), text) << code;
}

TEST(UploadRequests, StartRequestCarriesTheLow32BitsOfTheSize) {
  const std::vector<std::tuple<uint8_t, uint64_t, QByteArray>> cases = {
      {12, 1001, QByteArray::fromHex("0ce9030000")},
      {9, 300, QByteArray::fromHex("092c010000")},
      {12, 0, QByteArray::fromHex("0c00000000")},
      {9, 0xFFFFFFFFull, QByteArray::fromHex("09ffffffff")},
  };
  for (const auto& [code, size, bytes] : cases) EXPECT_EQ(StartRequest(code, size).toHex(), bytes.toHex());
}

TEST(UploadRequests, SequenceBytesWrapFrom0xFFTo0x80) {
  const std::vector<std::pair<int64_t, uint8_t>> cases = {{1, 0x81},   {3, 0x83},   {127, 0xFF},         {128, 0x80},
                                                          {129, 0x81}, {256, 0x80}, {4294967296LL, 0x80}};
  for (const auto& [counter, byte] : cases) EXPECT_EQ(SequenceByte(counter), byte) << counter;
}

TEST(UploadRequests, ProgressNeverDividesByAnEmptyFile) {
  const std::vector<std::tuple<int64_t, uint64_t, int>> cases = {{0, 0, 100},
                                                                 {256, 0, 100},
                                                                 {0, 1000, 0},
                                                                 {256, 1000, 25},
                                                                 {1024, 1000, 100},
                                                                 {256, 0x100000000ull, 0},
                                                                 {0xFFFFFF00LL, 0xFFFFFFFFull, 99}};
  for (const auto& [sent, size, pos] : cases) EXPECT_EQ(ProgressPosition(sent, size, 100), pos) << sent << "/" << size;
}

QByteArray Image(int n) {
  QByteArray b(n, '\0');
  for (int i = 0; i < n; ++i) b[i] = char(i * 7 + 3);
  return b;
}

// Pulls every request of an upload from the builder, as the acknowledged
// upload does until all bytes are sent.
std::vector<QByteArray> AllRequests(TUpdateTarget target, const QByteArray& image, const QByteArray& name,
                                    std::vector<bool>* captions = nullptr) {
  TUploadRequests requests(target, image, name);
  std::vector<QByteArray> out;
  int nameWords = target == TUpdateTarget::Pocket && !image.isEmpty() ? 3 : 0;
  while (nameWords-- > 0 || requests.BytesSent() < image.size()) {
    bool caption = false;
    out.push_back(requests.Next(&caption));
    if (captions) captions->push_back(caption);
  }
  return out;
}

TEST(UploadRequests, PocketNameWordsThenDataWithSequenceBytesAndPadding) {
  struct Case {
    int size;
    int dataRequests;
    int fullWordsInLast;
    int fileBytesInPartialWord;  // 0: none
  };
  const Case cases[] = {{1, 1, 0, 1}, {255, 1, 63, 3}, {256, 1, 64, 0}, {1000, 4, 58, 0}, {1001, 4, 58, 1}};
  const QByteArray name("ZEL74_V115.RPD");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    const QByteArray image = Image(c.size);
    std::vector<bool> captions;
    const auto reqs = AllRequests(TUpdateTarget::Pocket, image, name, &captions);
    ASSERT_EQ(int(reqs.size()), 3 + c.dataRequests);
    // Name words: 0x81..0x83, bytes 0-1 of the name field zero, then "ZEL74_V115".
    QByteArray field;
    for (int k = 0; k < 3; ++k) {
      ASSERT_EQ(reqs[k].size(), 5);
      EXPECT_EQ(uint8_t(reqs[k][0]), 0x81 + k);
      field += reqs[k].mid(1);
    }
    EXPECT_EQ(field, QByteArray("\0\0ZEL74_V115", 12));
    // Data: 64 groups of sequence byte + word; counter runs on from 4.
    QByteArray data;
    int counter = 4;
    for (int r = 3; r < int(reqs.size()); ++r) {
      ASSERT_EQ(reqs[r].size(), 320);
      for (int g = 0; g < 64; ++g, ++counter) {
        EXPECT_EQ(uint8_t(reqs[r][5 * g]), 0x80 + counter % 128) << "request " << r << " group " << g;
        data += reqs[r].mid(5 * g + 1, 4);
      }
    }
    EXPECT_EQ(uint8_t(reqs[3][0]), 0x84);
    EXPECT_EQ(data.left(c.size), image);
    EXPECT_EQ(data.mid(c.size), QByteArray(data.size() - c.size, char(0xFF))) << "padding";
    const int lastFileBytes = c.size - 256 * (c.dataRequests - 1);
    EXPECT_EQ(lastFileBytes, 4 * c.fullWordsInLast + c.fileBytesInPartialWord);
    // The caption goes back to "Bytes sent:" with the second data request only.
    std::vector<bool> expected(captions.size(), false);
    if (c.dataRequests > 1) expected[4] = true;
    EXPECT_EQ(captions, expected);
  }
}

TEST(UploadRequests, LanDataWithOneSequenceBytePerBlockAndPadding) {
  const QByteArray image = Image(300);
  std::vector<bool> captions;
  const auto reqs = AllRequests(TUpdateTarget::Lan, image, "ZELLAN_V04.BIN", &captions);
  ASSERT_EQ(reqs.size(), 2u);
  EXPECT_EQ(uint8_t(reqs[0][0]), 0x81);
  EXPECT_EQ(uint8_t(reqs[1][0]), 0x82);
  EXPECT_EQ(reqs[0].mid(1), image.left(256));
  EXPECT_EQ(reqs[1].mid(1, 44), image.mid(256));
  EXPECT_EQ(reqs[1].mid(45), QByteArray(212, char(0xFF)));
  EXPECT_EQ(captions, (std::vector<bool>{false, true}));

  const auto many = AllRequests(TUpdateTarget::Lan, Image(129 * 256), "ZELLAN_V04.BIN");
  ASSERT_EQ(many.size(), 129u);
  EXPECT_EQ(uint8_t(many[126][0]), 0xFF);
  EXPECT_EQ(uint8_t(many[127][0]), 0x80);
  EXPECT_EQ(uint8_t(many[128][0]), 0x81);
}

TEST(UploadRequests, NameFieldOfAShortNameIsZeroFilled) {
  EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(NameField("AB").data()), 12),
            QByteArray("\0\0AB\0\0\0\0\0\0\0\0", 12));
}

}  // namespace
