#include "core/CommandLine.h"

#include <gtest/gtest.h>

TEST(CommandLine, Table) {
  struct Case {
    QStringList args;
    bool ok;
    QString host;
    uint16_t port;
    bool simulator;
    int latency, jitter;  // the simulated device's delays
  };
  const QString def = QString::fromLatin1(DEFAULT_DEVICE_HOST);
  const Case cases[] = {
      {{}, true, def, 55555, false, 0, 0},
      {{"--device", "127.0.0.1"}, true, "127.0.0.1", 55555, false, 0, 0},
      {{"--device", "127.0.0.1:4000"}, true, "127.0.0.1", 4000, false, 0, 0},
      {{"--device=localhost:1"}, true, "localhost", 1, false, 0, 0},
      {{"--simulator"}, true, def, 55555, true, 0, 0},
      {{"--device"}, false, {}, 0, false, 0, 0},
      {{"--device", "127.0.0.1:0"}, false, {}, 0, false, 0, 0},
      {{"--device", "127.0.0.1:65536"}, false, {}, 0, false, 0, 0},
      {{"--device", "127.0.0.1:abc"}, false, {}, 0, false, 0, 0},
      {{"--device", ":55555"}, false, {}, 0, false, 0, 0},
      {{"--device", "::1"}, false, {}, 0, false, 0, 0},
      {{"--device", "127.0.0.1", "--simulator"}, false, {}, 0, false, 0, 0},
      {{"--device", "127.0.0.1", "--device", "127.0.0.2"}, false, {}, 0, false, 0, 0},
      {{"--bogus"}, false, {}, 0, false, 0, 0},
      {{"extra"}, false, {}, 0, false, 0, 0},
      {{"--simulator", "--latency", "20"}, true, def, 55555, true, 20, 0},
      {{"--latency=2", "--jitter", "1", "--simulator"}, true, def, 55555, true, 2, 1},
      {{"--simulator", "--jitter=0"}, true, def, 55555, true, 0, 0},
      {{"--latency", "20"}, false, {}, 0, false, 0, 0},
      {{"--jitter", "5", "--device", "127.0.0.1"}, false, {}, 0, false, 0, 0},
      {{"--simulator", "--latency"}, false, {}, 0, false, 0, 0},
      {{"--simulator", "--latency", "-1"}, false, {}, 0, false, 0, 0},
      {{"--simulator", "--latency", "+5"}, false, {}, 0, false, 0, 0},
      {{"--simulator", "--jitter", "60001"}, false, {}, 0, false, 0, 0},
      {{"--simulator", "--latency", "2ms"}, false, {}, 0, false, 0, 0},
  };
  for (const Case& c : cases) {
    const TCommandLine r = ParseCommandLine(c.args);
    EXPECT_EQ(r.error.isEmpty(), c.ok) << c.args.join(' ').toStdString() << ": " << r.error.toStdString();
    if (!c.ok || !r.error.isEmpty()) continue;
    EXPECT_EQ(r.host, c.host) << c.args.join(' ').toStdString();
    EXPECT_EQ(r.port, c.port) << c.args.join(' ').toStdString();
    EXPECT_EQ(r.simulator, c.simulator) << c.args.join(' ').toStdString();
    EXPECT_EQ(r.latencyMs, c.latency) << c.args.join(' ').toStdString();
    EXPECT_EQ(r.jitterMs, c.jitter) << c.args.join(' ').toStdString();
  }
}
