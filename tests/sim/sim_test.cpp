// Tests of the simulated device: answers, request cutting, misbehaviour and
// connection handling, seen from a client on 127.0.0.1.
#include "Blackhole.h"
#include "sim/RequestCutter.h"
#include "sim/Scan.h"
#include "sim/Upload.h"
#include "sim/ZelSim.h"
#include "core/update/UploadRequests.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QProcess>
#include <QTcpSocket>
#include <QTimer>

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#ifndef _WIN32
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

using zelsim::TChunk;
using zelsim::TDrop;
using zelsim::TSimulator;

constexpr int kWaitMs = 5000;

// Keeps the event loop running until `pred` holds or `timeoutMs` has passed.
template <class Pred>
bool PumpUntil(Pred pred, int timeoutMs = kWaitMs) {
  QDeadlineTimer deadline(timeoutMs);
  while (!pred()) {
    if (deadline.hasExpired()) return pred();
    QEventLoop loop;
    QTimer::singleShot(5, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

QByteArray Bytes(std::initializer_list<int> values) {
  QByteArray b;
  for (int v : values) b.append(static_cast<char>(v));
  return b;
}

// Readable form for comparisons: "55 12 0a".
std::string Hex(const QByteArray& b) { return b.toHex(' ').toStdString(); }

const QByteArray kStatus85 = Bytes({0x08, 0, 0, 0, 85, 0, 0, 0});
const QByteArray kDefaultVersion = Bytes({0x0C, 0, 0, 0, 0x12, 0x03, 0, 0, 0x1B, 0x0A, 0x09, 0x01});

// A Qt client in the test thread; everything it receives collects in received().
class Client {
 public:
  bool Connect(uint16_t port) {
    sock_.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
    return PumpUntil([this] { return sock_.state() == QAbstractSocket::ConnectedState; });
  }
  void Send(const QByteArray& bytes) {
    sock_.write(bytes);
    sock_.flush();
  }
  bool WaitForBytes(qsizetype n) {
    return PumpUntil([&] {
      received_.append(sock_.readAll());
      return received_.size() >= n;
    });
  }
  // Waits for exactly `expected` to arrive next and consumes it.
  std::string Expect(const QByteArray& expected) {
    WaitForBytes(expected.size());
    const QByteArray got = received_.left(expected.size());
    received_.remove(0, got.size());
    return Hex(got);
  }
  QByteArray& received() { return received_; }
  QTcpSocket& socket() { return sock_; }

 private:
  QTcpSocket sock_;
  QByteArray received_;
};

class SimFixture : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(sim.Start()); }

  // Connects a client and waits until the simulator has accepted it.
  void Connect(Client& c) {
    const int before = sim.ConnectionsAccepted();
    ASSERT_TRUE(c.Connect(sim.Port()));
    ASSERT_TRUE(PumpUntil([&] { return sim.ConnectionsAccepted() == before + 1; }));
  }
  bool WaitForLogSize(qsizetype n) {
    return PumpUntil([&] { return sim.Requests().size() >= n; });
  }

  TSimulator sim;
};

#ifndef _WIN32
// A plain blocking socket, for what Qt does not tell apart (FIN versus RST).
class RawClient {
 public:
  explicit RawClient(uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = fd_ >= 0 && ::connect(fd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
  }
  ~RawClient() {
    if (fd_ >= 0) ::close(fd_);
  }
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  bool connected() const { return connected_; }
  bool Send(const QByteArray& bytes) {
    return ::send(fd_, bytes.constData(), static_cast<size_t>(bytes.size()), MSG_NOSIGNAL) == bytes.size();
  }

  struct Outcome {
    QByteArray data;   // bytes read before the end
    bool eof = false;  // read() returned 0
    int error = 0;     // errno of a failed read()
    bool timedOut = false;
  };
  // Reads until end of stream or an error, for at most `timeoutMs`.
  Outcome ReadToEnd(int timeoutMs) {
    Outcome out;
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
      pollfd p{fd_, POLLIN, 0};
      const int left = static_cast<int>(deadline.remainingTime());
      if (left <= 0 || ::poll(&p, 1, left) <= 0) {
        out.timedOut = true;
        return out;
      }
      char buf[256];
      const ssize_t n = ::read(fd_, buf, sizeof buf);
      if (n > 0) {
        out.data.append(buf, static_cast<qsizetype>(n));
      } else {
        out.eof = n == 0;
        out.error = n < 0 ? errno : 0;
        return out;
      }
    }
  }

 private:
  int fd_ = -1;
  bool connected_ = false;
};
#endif

// --- frames -------------------------------------------------------------------

// A port already taken: Start() says why, and zelsim says so once, with
// the system's reason, and exits 1.
TEST(SimProgram, APortInUseIsReportedOnce) {
  TSimulator first;
  ASSERT_TRUE(first.Start());
  TSimulator second;
  EXPECT_FALSE(second.Start(first.Port()));
  const QString why = second.StartError();
  EXPECT_FALSE(why.isEmpty());
  QProcess p;
  p.start(QStringLiteral(ZELSIM_PATH), {QStringLiteral("--port"), QString::number(first.Port())});
  ASSERT_TRUE(p.waitForFinished(30000));
  EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(p.exitCode(), 1);
  const QByteArray err = p.readAllStandardError();
  EXPECT_EQ(err,
            QStringLiteral("zelsim: cannot listen on 127.0.0.1:%1: %2\n").arg(first.Port()).arg(why).toLocal8Bit());
}

TEST(SimFrames, HelpersBuildExactBytes) {
  struct Case {
    const char* name;
    QByteArray built;
    QByteArray expected;
  };
  const QByteArray big(14356, 'x');
  const Case cases[] = {
      {"empty frame", zelsim::Frame({}), Bytes({0x04, 0, 0, 0})},
      {"status frame", zelsim::Frame(zelsim::StatusRecord(90)), Bytes({0x08, 0, 0, 0, 90, 0, 0, 0})},
      {"largest frame header", zelsim::Frame(big).left(4), Bytes({0x18, 0x38, 0, 0})},
      {"forced length", zelsim::FrameWithLength(Bytes({1, 2}), 0xBEEF), Bytes({0xEF, 0xBE, 0, 0, 1, 2})},
      {"version record", zelsim::VersionRecord(0xA5, 0x1234, 0xFFFE),
       Bytes({0x12, 0xA5, 0, 0, 0x34, 0x12, 0xFE, 0xFF})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Hex(c.built), Hex(c.expected));
  }
}

// --- normal answers -----------------------------------------------------------

using SimAnswers = SimFixture;

TEST_F(SimAnswers, StatusQueryAnswersTheConfiguredCode) {
  Client c;
  Connect(c);
  c.Send(Bytes({0x55}));
  EXPECT_EQ(c.Expect(kStatus85), Hex(kStatus85)) << "default: application running";

  for (int code : {90, 85, 0, 255}) {
    SCOPED_TRACE(code);
    sim.SetStatusReply(static_cast<uint8_t>(code));
    c.Send(Bytes({0x55}));
    const QByteArray expected = Bytes({0x08, 0, 0, 0, code, 0, 0, 0});
    EXPECT_EQ(c.Expect(expected), Hex(expected));
  }
  ASSERT_EQ(sim.Requests().size(), 5);
  for (const zelsim::TLoggedRequest& r : sim.Requests()) {
    EXPECT_EQ(r.connection, 1);
    EXPECT_EQ(Hex(r.bytes), "55");
  }
}

TEST_F(SimAnswers, VersionQueryAnswersTheConfiguredVersions) {
  Client c;
  Connect(c);
  c.Send(Bytes({0x12}));
  EXPECT_EQ(c.Expect(kDefaultVersion), Hex(kDefaultVersion)) << "defaults";

  struct Case {
    zelsim::TVersions v;
    QByteArray expected;
  };
  const Case cases[] = {
      {{0, 0, 0}, Bytes({0x0C, 0, 0, 0, 0x12, 0, 0, 0, 0, 0, 0, 0})},
      {{0xFF, 0xFFFF, 0xFFFF}, Bytes({0x0C, 0, 0, 0, 0x12, 0xFF, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF})},
      {{7, 0x1234, 0x8001}, Bytes({0x0C, 0, 0, 0, 0x12, 0x07, 0, 0, 0x34, 0x12, 0x01, 0x80})},
      {{4, 0x0A1B, 0x0200}, Bytes({0x0C, 0, 0, 0, 0x12, 0x04, 0, 0, 0x1B, 0x0A, 0x00, 0x02})},
  };
  for (const Case& tc : cases) {
    SCOPED_TRACE(Hex(tc.expected));
    sim.SetVersions(tc.v);
    c.Send(Bytes({0x12}));
    EXPECT_EQ(c.Expect(tc.expected), Hex(tc.expected));
  }
  EXPECT_EQ(sim.CountRequests(0x12), 5);
  EXPECT_EQ(sim.CountRequests(0x55), 0);
}

// --- cutting requests from the stream -------------------------------------------

TEST(SimCutting, CutterKeepsIncompleteRequestsUntilTheyAreComplete) {
  // Lengths as the device will know them: a 10-byte and a 5-byte request.
  auto lengthOf = [](uint8_t code) {
    switch (code) {
      case 0x08: return 10;
      case 0x0D: return 5;
      case 0x55: return 1;
      default: return zelsim::kRestOfAvailable;
    }
  };
  struct Step {
    QByteArray piece;
    std::vector<QByteArray> requests;  // cut after this piece arrived
    QByteArray pending;                // left waiting afterwards
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
  };
  const Case cases[] = {
      {"request split in two",
       {{Bytes({0x08, 1, 2}), {}, Bytes({0x08, 1, 2})},
        {Bytes({3, 4, 5, 6, 7, 8, 9}), {Bytes({0x08, 1, 2, 3, 4, 5, 6, 7, 8, 9})}, {}}}},
      {"several in one piece, last incomplete",
       {{Bytes({0x0D, 1, 2, 3, 4, 0x55, 0x08, 1}), {Bytes({0x0D, 1, 2, 3, 4}), Bytes({0x55})}, Bytes({0x08, 1})}}},
      {"byte by byte",
       {{Bytes({0x0D}), {}, Bytes({0x0D})},
        {Bytes({1}), {}, Bytes({0x0D, 1})},
        {Bytes({2, 3}), {}, Bytes({0x0D, 1, 2, 3})},
        {Bytes({4, 0x55}), {Bytes({0x0D, 1, 2, 3, 4}), Bytes({0x55})}, {}}}},
      {"unknown code takes the rest",
       {{Bytes({0x55, 0x99, 0x55, 0x0D}), {Bytes({0x55}), Bytes({0x99, 0x55, 0x0D})}, {}}}},
      {"completion followed by unknown",
       {{Bytes({0x08, 0, 0, 0, 0, 0}), {}, Bytes({0x08, 0, 0, 0, 0, 0})},
        {Bytes({0, 0, 0, 0, 0x77, 1}), {Bytes({0x08, 0, 0, 0, 0, 0, 0, 0, 0, 0}), Bytes({0x77, 1})}, {}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QByteArray pending;
    for (const Step& step : c.steps) {
      pending.append(step.piece);
      const QList<QByteArray> cut = zelsim::CutRequests(pending, lengthOf);
      std::vector<std::string> got, want;
      for (const QByteArray& r : cut) got.push_back(Hex(r));
      for (const QByteArray& r : step.requests) want.push_back(Hex(r));
      EXPECT_EQ(got, want);
      EXPECT_EQ(Hex(pending), Hex(step.pending));
    }
  }
}

using SimCuttingStream = SimFixture;

TEST_F(SimCuttingStream, RequestsAreCutLoggedAndAnsweredHoweverTheyArrive) {
  struct Write {
    QByteArray bytes;
    std::vector<QByteArray> requests;  // logged once this write has arrived
  };
  struct Case {
    const char* name;
    std::vector<Write> writes;  // each case ends with a known query, so its answer comes last
    QByteArray answers;
  };
  const Case cases[] = {
      {"two queries in one write",
       {{Bytes({0x55, 0x12}), {Bytes({0x55}), Bytes({0x12})}}},
       kStatus85 + kDefaultVersion},
      {"one query per write",
       {{Bytes({0x12}), {Bytes({0x12})}}, {Bytes({0x55}), {Bytes({0x55})}}, {Bytes({0x12}), {Bytes({0x12})}}},
       kDefaultVersion + kStatus85 + kDefaultVersion},
      {"query then unknown in one write",
       {{Bytes({0x55, 0x99, 1, 2}), {Bytes({0x55}), Bytes({0x99, 1, 2})}}, {Bytes({0x12}), {Bytes({0x12})}}},
       kStatus85 + kDefaultVersion},
      {"unknown takes the queries behind it in the same write",
       {{Bytes({0x99, 0x55, 0x12}), {Bytes({0x99, 0x55, 0x12})}}, {Bytes({0x55}), {Bytes({0x55})}}},
       kStatus85},
      {"unknown split over writes",
       {{Bytes({0x20, 1}), {Bytes({0x20, 1})}}, {Bytes({2, 3}), {Bytes({2, 3})}}, {Bytes({0x55}), {Bytes({0x55})}}},
       kStatus85},
  };
  for (const Case& tc : cases) {
    SCOPED_TRACE(tc.name);
    sim.ClearLog();
    Client c;
    Connect(c);
    const int connection = sim.ConnectionsAccepted();
    std::vector<std::string> want;
    for (const Write& w : tc.writes) {
      c.Send(w.bytes);
      for (const QByteArray& r : w.requests) want.push_back(Hex(r));
      // Wait until this write is logged, so the next one arrives separately.
      ASSERT_TRUE(WaitForLogSize(static_cast<qsizetype>(want.size())));
    }
    EXPECT_EQ(c.Expect(tc.answers), Hex(tc.answers));
    EXPECT_EQ(Hex(c.received()), "") << "nothing after the last answer";
    std::vector<std::string> got;
    for (const zelsim::TLoggedRequest& r : sim.Requests()) {
      got.push_back(Hex(r.bytes));
      EXPECT_EQ(r.connection, connection);
    }
    EXPECT_EQ(got, want);
  }
}

// --- misbehaviour ---------------------------------------------------------------

using SimSilence = SimFixture;

TEST_F(SimSilence, SilencedRequestsAreLoggedButNotAnswered) {
  struct Case {
    const char* name;
    void (*setUp)(TSimulator&);
    QByteArray answers;  // to 0x55 then 0x12
  };
  const Case cases[] = {
      {"status silent", [](TSimulator& s) { s.SetFault(zelsim::TFault::Silent(0x55)); }, kDefaultVersion},
      {"version silent", [](TSimulator& s) { s.SetFault(zelsim::TFault::Silent(0x12)); }, kStatus85},
      {"all silent", [](TSimulator& s) { s.SetFault(zelsim::TFault::Silent(std::nullopt)); }, {}},
      {"silence lifted",
       [](TSimulator& s) {
         s.SetFault(zelsim::TFault::Silent(0x55));
         s.ClearFaults(0x55);
       },
       kStatus85 + kDefaultVersion},
  };
  // A script answers even when silent: its reply marks the end of the answers.
  const QByteArray marker("END");
  for (const Case& tc : cases) {
    SCOPED_TRACE(tc.name);
    sim.ClearFaults();
    sim.ClearFaults(0x55);
    sim.ClearFaults(0x12);
    sim.ClearLog();
    tc.setUp(sim);
    sim.SetFault(zelsim::TFault::Answered(0x7E, {TChunk{marker, 0}}));
    Client c;
    Connect(c);
    c.Send(Bytes({0x55}));
    c.Send(Bytes({0x12}));
    c.Send(Bytes({0x7E}));
    EXPECT_EQ(c.Expect(tc.answers + marker), Hex(tc.answers + marker));
    EXPECT_EQ(sim.RequestCodes(), (QList<uint8_t>{0x55, 0x12, 0x7E}));
  }
}

using SimScripts = SimFixture;

TEST_F(SimScripts, OneShotChunksArriveInOrderThenTheNormalAnswerReturns) {
  const QList<TChunk> chunks = {TChunk{Bytes({0x0C, 0, 0, 0}), 0}, TChunk{Bytes({0x12, 9, 0, 0}), 30},
                                TChunk{Bytes({1, 2}), 0}, TChunk{Bytes({3, 4}), 40}};
  sim.SetFault(zelsim::TFault::Answered(0x12, chunks));
  Client c;
  Connect(c);
  c.Send(Bytes({0x12}));
  const QByteArray scripted = Bytes({0x0C, 0, 0, 0, 0x12, 9, 0, 0, 1, 2, 3, 4});
  EXPECT_EQ(c.Expect(scripted), Hex(scripted));
  c.Send(Bytes({0x12}));
  EXPECT_EQ(c.Expect(kDefaultVersion), Hex(kDefaultVersion)) << "the script was used up";
  EXPECT_EQ(Hex(c.received()), "");
}

TEST_F(SimScripts, QueuedScriptsPlayInTurnAndPersistentOnesUntilCleared) {
  sim.SetFault(zelsim::TFault::Answered(0x55, {TChunk{"first", 0}}));
  sim.SetFault(zelsim::TFault::Answered(0x55, {TChunk{"sec", 10}, TChunk{"ond", 10}}));
  sim.SetFault(zelsim::TFault::Answered(0x99, {TChunk{"again", 5}}, true));  // a code without a normal answer
  Client c;
  Connect(c);
  const struct {
    uint8_t code;
    QByteArray answer;
  } exchanges[] = {
      {0x55, "first"}, {0x99, "again"}, {0x55, "second"}, {0x99, "again"}, {0x55, kStatus85}, {0x99, "again"},
  };
  for (const auto& e : exchanges) {
    SCOPED_TRACE(Hex(e.answer));
    c.Send(Bytes({e.code}));
    EXPECT_EQ(c.Expect(e.answer), Hex(e.answer));
  }
  sim.ClearFaults();
  c.Send(Bytes({0x99}));
  c.Send(Bytes({0x12}));
  EXPECT_EQ(c.Expect(kDefaultVersion), Hex(kDefaultVersion)) << "nothing for 0x99 once cleared";
  EXPECT_EQ(sim.CountRequests(0x99), 4);
}

#ifndef _WIN32
using SimDrops = SimFixture;

TEST_F(SimDrops, CloseEndsTheStreamAndResetFailsTheRead) {
  struct Case {
    const char* name;
    TDrop how;
    bool onRequest;  // else DropNow()
  };
  const Case cases[] = {
      {"close on request", TDrop::Close, true},
      {"reset on request", TDrop::Reset, true},
      {"close now", TDrop::Close, false},
      {"reset now", TDrop::Reset, false},
  };
  for (const Case& tc : cases) {
    SCOPED_TRACE(tc.name);
    sim.ClearLog();
    const int accepted = sim.ConnectionsAccepted();
    RawClient raw(sim.Port());
    ASSERT_TRUE(raw.connected());
    ASSERT_TRUE(PumpUntil([&] { return sim.ConnectionsAccepted() == accepted + 1 && sim.OpenConnections() == 1; }));
    if (tc.onRequest) {
      sim.SetFault(zelsim::TFault::Dropped(0x55, tc.how));
      ASSERT_TRUE(raw.Send(Bytes({0x55})));
    } else {
      sim.DropNow(tc.how);
    }
    const RawClient::Outcome out = raw.ReadToEnd(kWaitMs);
    EXPECT_FALSE(out.timedOut);
    EXPECT_EQ(Hex(out.data), "") << "dropped instead of answering";
    if (tc.how == TDrop::Close) {
      EXPECT_TRUE(out.eof);
      EXPECT_EQ(out.error, 0);
    } else {
      EXPECT_FALSE(out.eof);
      EXPECT_EQ(out.error, ECONNRESET);
    }
    EXPECT_TRUE(PumpUntil([&] { return sim.OpenConnections() == 0; }));
    EXPECT_EQ(sim.CountRequests(0x55), tc.onRequest ? 1 : 0);
  }
  // The drop was one-shot: a new connection gets its answer.
  Client c;
  Connect(c);
  c.Send(Bytes({0x55}));
  EXPECT_EQ(c.Expect(kStatus85), Hex(kStatus85));
}
#endif

// --- connections ------------------------------------------------------------------

using SimConnections = SimFixture;

TEST_F(SimConnections, AreNumberedAnsweredOnTheirOwnAndNewestGetsSendNow) {
  {
    Client probe;  // opens and closes without a word
    Connect(probe);
    probe.socket().disconnectFromHost();
  }
  ASSERT_TRUE(PumpUntil([&] { return sim.OpenConnections() == 0; }));
  Client a, b;
  Connect(a);
  Connect(b);
  EXPECT_EQ(sim.ConnectionsAccepted(), 3);
  EXPECT_EQ(sim.OpenConnections(), 2);

  b.Send(Bytes({0x12}));
  EXPECT_EQ(b.Expect(kDefaultVersion), Hex(kDefaultVersion));
  a.Send(Bytes({0x55}));
  EXPECT_EQ(a.Expect(kStatus85), Hex(kStatus85));
  const QList<zelsim::TLoggedRequest> log = sim.Requests();
  ASSERT_EQ(log.size(), 2);
  EXPECT_EQ(log[0].connection, 3);
  EXPECT_EQ(Hex(log[0].bytes), "12");
  EXPECT_EQ(log[1].connection, 2);
  EXPECT_EQ(Hex(log[1].bytes), "55");

  EXPECT_TRUE(sim.SendNow("to b"));
  EXPECT_EQ(b.Expect("to b"), Hex("to b"));
  b.socket().disconnectFromHost();
  ASSERT_TRUE(PumpUntil([&] { return sim.OpenConnections() == 1; }));
  EXPECT_TRUE(sim.SendNow("to a"));
  EXPECT_EQ(a.Expect("to a"), Hex("to a"));
  EXPECT_EQ(Hex(b.received()), "");
  a.socket().disconnectFromHost();
  ASSERT_TRUE(PumpUntil([&] { return sim.OpenConnections() == 0; }));
  EXPECT_FALSE(sim.SendNow("nobody"));
}

TEST_F(SimConnections, NotListeningRefusesNewConnectionsButKeepsOpenOnes) {
  Client kept;
  Connect(kept);
  const uint16_t port = sim.Port();
  sim.SetListening(false);

  Client refused;
  refused.socket().connectToHost(QHostAddress(QHostAddress::LocalHost), port);
  ASSERT_TRUE(PumpUntil([&] { return refused.socket().state() == QAbstractSocket::UnconnectedState; }));
  EXPECT_EQ(refused.socket().error(), QAbstractSocket::ConnectionRefusedError);

  kept.Send(Bytes({0x55}));
  EXPECT_EQ(kept.Expect(kStatus85), Hex(kStatus85));

  sim.SetListening(true);
  EXPECT_EQ(sim.Port(), port);
  Client again;
  Connect(again);
  again.Send(Bytes({0x12}));
  EXPECT_EQ(again.Expect(kDefaultVersion), Hex(kDefaultVersion));
  EXPECT_EQ(sim.ConnectionsAccepted(), 2);
}

TEST_F(SimConnections, StreamRepeatsOnTheNewestUntilStopped) {
  Client c;
  Connect(c);
  sim.SetStream("ab", 5);
  ASSERT_TRUE(c.WaitForBytes(8));
  sim.SetStream("ab", 0);  // stops, whatever the bytes
  ASSERT_TRUE(sim.SendNow("|"));
  ASSERT_TRUE(PumpUntil([&] {
    c.received().append(c.socket().readAll());
    return c.received().endsWith('|');
  }));
  const QByteArray streamed = c.received().chopped(1);
  EXPECT_EQ(streamed, QByteArray("ab").repeated(streamed.size() / 2)) << streamed.constData();
  c.received().clear();
  // A reply the simulator holds back for ten stream intervals: a stream still
  // running would have put bytes in front of it.
  sim.SetFault(zelsim::TFault::Answered(0x7E, {TChunk{"END", 50}}));
  c.Send(Bytes({0x7E}));
  EXPECT_EQ(c.Expect("END"), Hex("END")) << "no stream bytes after it was stopped";
}

TEST(SimLifecycle, StartFailsOnABusyPortAndStopClosesConnections) {
  TSimulator first;
  ASSERT_TRUE(first.Start());
  TSimulator second;
  EXPECT_FALSE(second.Start(first.Port()));

  Client c;
  ASSERT_TRUE(c.Connect(first.Port()));
  ASSERT_TRUE(PumpUntil([&] { return first.OpenConnections() == 1; }));
  first.Stop();
  EXPECT_TRUE(PumpUntil([&] { return c.socket().state() == QAbstractSocket::UnconnectedState; }));
  EXPECT_FALSE(first.SendNow("x"));

  ASSERT_TRUE(second.Start(first.Port())) << "the port is free again";
  Client d;
  ASSERT_TRUE(d.Connect(second.Port()));
  d.Send(Bytes({0x55}));
  EXPECT_EQ(d.Expect(kStatus85), Hex(kStatus85));
}

// --- blackhole ------------------------------------------------------------------

#ifndef _WIN32
TEST(SimBlackhole, ConnectNeitherSucceedsNorFailsQuickly) {
  Blackhole hole;
  ASSERT_TRUE(hole.ok());
  ASSERT_NE(hole.port(), 0);

  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  ASSERT_GE(fd, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(hole.port());
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const int r = ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
  const int connectErrno = errno;
  ASSERT_EQ(r, -1);
  EXPECT_EQ(connectErrno, EINPROGRESS);
  pollfd p{fd, POLLOUT, 0};
  EXPECT_EQ(::poll(&p, 1, 300), 0) << "the connect completed (or failed) within 300 ms";
  ::close(fd);
}
#endif

}  // namespace

// The request log holds only the requests' own bytes: a device that serves
// connection after connection does not grow by a read buffer each time.
TEST(SimLog, KeepsOnlyTheRequestsOwnBytes) {
  TSimulator sim;
  ASSERT_TRUE(sim.Start());
  constexpr int kConnections = 300;
  for (int i = 0; i < kConnections; ++i) {
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, sim.Port());
    ASSERT_TRUE(s.waitForConnected(5000));
    s.write(QByteArray(1, char(0x55)));
    ASSERT_TRUE(s.waitForReadyRead(5000));
    s.disconnectFromHost();
  }
  ASSERT_TRUE(PumpUntil([&] { return sim.Requests().size() == kConnections; }));
  EXPECT_LE(sim.LoggedBytes(), qsizetype(kConnections) * 64)
      << "bytes held for " << kConnections << " one-byte requests";
}

// What a device function keeps of a request is the request's bytes alone,
// however much the read that brought it held: a scan request kept per
// screenshot must not hold a read buffer of kilobytes.
TEST(SimLog, FunctionsKeepOnlyTheRequestsOwnBytes) {
  TSimulator sim;
  ASSERT_TRUE(sim.Start());
  auto* scan = sim.Function<zelsim::TScanFunction>();
  constexpr int kScans = 20;
  for (int i = 0; i < kScans; ++i) {
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, sim.Port());
    ASSERT_TRUE(s.waitForConnected(5000));
    // A scan of one column at (0,0), 1 x 1, alone in its write.
    s.write(QByteArray::fromHex("08000000000100010000"));
    ASSERT_TRUE(s.waitForReadyRead(5000));
    s.disconnectFromHost();
  }
  ASSERT_TRUE(PumpUntil([&] { return scan->ScanRequests().size() == kScans; }));
  for (const QByteArray& r : scan->ScanRequests()) {
    EXPECT_EQ(r.size(), 10);
    EXPECT_LE(r.capacity(), 64) << "bytes held for a 10-byte request";
  }
}

// --- a delayed link -------------------------------------------------------------

using SimLatency = SimFixture;

TEST_F(SimLatency, AnswersLeaveAfterTheDelayInOrderWhileTheDeviceKeepsReading) {
  Client c;
  Connect(c);
  sim.SetLatency(200);
  QElapsedTimer took;
  took.start();
  c.Send(Bytes({0x55}));
  ASSERT_EQ(c.Expect(kStatus85), Hex(kStatus85));
  EXPECT_GE(took.elapsed(), 200) << "the answer came before the latency";

  // Each answer 200 to 400 ms late at random: they still come in the order
  // asked, and the device has read every request before the first leaves.
  sim.SetLatency(300, 100);
  QByteArray requests, expected;
  for (int i = 0; i < 30; ++i) {
    requests.append(char(i % 3 ? 0x55 : 0x12));
    expected.append(i % 3 ? kStatus85 : kDefaultVersion);
  }
  took.restart();
  c.Send(requests);
  ASSERT_TRUE(WaitForLogSize(1 + requests.size()));
  EXPECT_EQ(c.socket().bytesAvailable(), 0) << "an answer left before its delay";
  EXPECT_EQ(c.Expect(expected), Hex(expected));
  EXPECT_GE(took.elapsed(), 200);

  sim.SetLatency(0);
  took.restart();
  c.Send(Bytes({0x55}));
  EXPECT_EQ(c.Expect(kStatus85), Hex(kStatus85));
  EXPECT_LT(took.elapsed(), 200) << "without a latency the answer comes at once";
}

// --- the restart after an update ------------------------------------------------

namespace {

// Sends a whole image through `c`, every request acknowledged.
void UploadThrough(Client& c, TUpdateTarget target, const QByteArray& image, const char* name) {
  const QByteArray clearing = zelsim::Frame(zelsim::StatusRecord(90)), ack = zelsim::Frame(zelsim::StatusRecord(0));
  c.Send(StartRequest(target == TUpdateTarget::Pocket ? 0x0C : 0x09, uint64_t(image.size())));
  ASSERT_EQ(c.Expect(clearing), Hex(clearing));
  ASSERT_EQ(c.Expect(ack), Hex(ack));
  TUploadRequests requests(target, image, name);
  while (requests.BytesSent() < image.size()) {
    bool caption = false;
    c.Send(requests.Next(&caption));
    ASSERT_EQ(c.Expect(ack), Hex(ack));
  }
}

// Connects `c` as soon as the device accepts again.
bool ConnectWhenBack(Client& c, uint16_t port, int timeoutMs) {
  return PumpUntil(
      [&] {
        QTcpSocket& s = c.socket();
        if (s.state() == QAbstractSocket::UnconnectedState)
          s.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
        return s.state() == QAbstractSocket::ConnectedState;
      },
      timeoutMs);
}

}  // namespace

TEST(SimRestart, AfterACompleteImageTheDeviceClosesRefusesThenComesBackWithItsVersion) {
  using zelsim::TAfterUpdate;
  const zelsim::TVersions old;  // LAN V03, firmware V109
  const struct {
    const char* what;
    TUpdateTarget target;
    const char* name;
    zelsim::TRestartPlan plan;
    zelsim::TVersions after;
  } cases[] = {
      {"firmware: the name's version character becomes its last digit",
       TUpdateTarget::Pocket,
       "ZELPOCKETB.RPD",
       {true, 1000, TAfterUpdate::New, std::nullopt},
       {old.lan, old.device, 0x010B}},
      {"firmware: a version character that is no digit changes nothing",
       TUpdateTarget::Pocket,
       "ZELPOCKETZ.RPD",
       {true, 1000, TAfterUpdate::New, std::nullopt},
       old},
      {"LAN driver: the one given",
       TUpdateTarget::Lan,
       "ZELLANDRV7.BIN",
       {true, 1000, TAfterUpdate::New, 0x07},
       {0x07, old.device, old.firmware}},
      {"LAN driver: one above without one given",
       TUpdateTarget::Lan,
       "ZELLANDRV7.BIN",
       {true, 1000, TAfterUpdate::New, std::nullopt},
       {0x04, old.device, old.firmware}},
      {"the update did not take",
       TUpdateTarget::Pocket,
       "ZELPOCKETB.RPD",
       {true, 1000, TAfterUpdate::Old, std::nullopt},
       old},
  };
  const QByteArray image(700, '\x42');
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TSimulator sim;
    ASSERT_TRUE(sim.Start());
    const uint16_t port = sim.Port();
    sim.Function<zelsim::TUploadFunction>()->SetRestart(c.plan);
    Client up;
    ASSERT_TRUE(up.Connect(port));
    UploadThrough(up, c.target, image, c.name);
    ASSERT_TRUE(PumpUntil([&] { return up.socket().state() == QAbstractSocket::UnconnectedState; }))
        << "the device closes the link after the last acknowledgement";
    EXPECT_EQ(sim.Function<zelsim::TUploadFunction>()->Restarts(), 1);

    Client refused;
    refused.socket().connectToHost(QHostAddress(QHostAddress::LocalHost), port);
    ASSERT_TRUE(PumpUntil([&] { return refused.socket().state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_EQ(refused.socket().error(), QAbstractSocket::ConnectionRefusedError) << "refused while it restarts";

    Client back;
    ASSERT_TRUE(ConnectWhenBack(back, port, kWaitMs));
    back.Send(Bytes({0x12}));
    const QByteArray version = zelsim::Frame(zelsim::VersionRecord(c.after.lan, c.after.device, c.after.firmware));
    EXPECT_EQ(back.Expect(version), Hex(version));
    EXPECT_EQ(sim.Function<zelsim::TUploadFunction>()->Image(), image);
  }
}

TEST(SimRestart, NeverComesBackWhenToldAndNeverRestartsUnlessToldTo) {
  const QByteArray image(300, '\x42');
  {
    TSimulator sim;
    ASSERT_TRUE(sim.Start());
    sim.Function<zelsim::TUploadFunction>()->SetRestart({true, 0, zelsim::TAfterUpdate::Never, std::nullopt});
    Client up;
    ASSERT_TRUE(up.Connect(sim.Port()));
    UploadThrough(up, TUpdateTarget::Pocket, image, "ZELPOCKETB.RPD");
    ASSERT_TRUE(PumpUntil([&] { return up.socket().state() == QAbstractSocket::UnconnectedState; }));
    Client again;
    EXPECT_FALSE(ConnectWhenBack(again, sim.Port(), 500)) << "back although told never to come back";
  }
  {
    // The in-process default: the device keeps the link and its versions.
    TSimulator sim;
    ASSERT_TRUE(sim.Start());
    Client up;
    ASSERT_TRUE(up.Connect(sim.Port()));
    UploadThrough(up, TUpdateTarget::Pocket, image, "ZELPOCKETB.RPD");
    up.Send(Bytes({0x12}));
    EXPECT_EQ(up.Expect(kDefaultVersion), Hex(kDefaultVersion));
    EXPECT_EQ(sim.Function<zelsim::TUploadFunction>()->Restarts(), 0);
    EXPECT_EQ(sim.ConnectionsAccepted(), 1);
  }
}

TEST(SimRestart, TheRestartFollowsTheLastAnswerThroughADelayedLink) {
  TSimulator sim;
  ASSERT_TRUE(sim.Start());
  sim.SetLatency(30, 20);
  sim.Function<zelsim::TUploadFunction>()->SetRestart({true, 200, zelsim::TAfterUpdate::New, std::nullopt});
  Client up;
  ASSERT_TRUE(up.Connect(sim.Port()));
  UploadThrough(up, TUpdateTarget::Pocket, QByteArray(1000, '\x42'), "ZELPOCKETC.RPD");
  ASSERT_TRUE(PumpUntil([&] { return up.socket().state() == QAbstractSocket::UnconnectedState; }));
  Client back;
  ASSERT_TRUE(ConnectWhenBack(back, sim.Port(), kWaitMs));
  back.Send(Bytes({0x12}));
  const QByteArray version = zelsim::Frame(zelsim::VersionRecord(0x03, 0x0A1B, 0x010C));
  EXPECT_EQ(back.Expect(version), Hex(version));
}
