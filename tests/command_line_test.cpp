#include "core/CommandLine.h"

#include <gtest/gtest.h>

TEST(CommandLine, Table) {
  struct Case {
    QStringList args;
    bool ok;
    QString host;
    uint16_t port;
    bool simulator;
  };
  const QString def = QString::fromLatin1(DEFAULT_DEVICE_HOST);
  const Case cases[] = {
      {{}, true, def, 55555, false},
      {{"--device", "127.0.0.1"}, true, "127.0.0.1", 55555, false},
      {{"--device", "127.0.0.1:4000"}, true, "127.0.0.1", 4000, false},
      {{"--device=localhost:1"}, true, "localhost", 1, false},
      {{"--simulator"}, true, def, 55555, true},
      {{"--device"}, false, {}, 0, false},
      {{"--device", "127.0.0.1:0"}, false, {}, 0, false},
      {{"--device", "127.0.0.1:65536"}, false, {}, 0, false},
      {{"--device", "127.0.0.1:abc"}, false, {}, 0, false},
      {{"--device", ":55555"}, false, {}, 0, false},
      {{"--device", "::1"}, false, {}, 0, false},
      {{"--device", "127.0.0.1", "--simulator"}, false, {}, 0, false},
      {{"--device", "127.0.0.1", "--device", "127.0.0.2"}, false, {}, 0, false},
      {{"--bogus"}, false, {}, 0, false},
      {{"extra"}, false, {}, 0, false},
  };
  for (const Case& c : cases) {
    const TCommandLine r = ParseCommandLine(c.args);
    EXPECT_EQ(r.error.isEmpty(), c.ok) << c.args.join(' ').toStdString() << ": " << r.error.toStdString();
    if (!c.ok || !r.error.isEmpty()) continue;
    EXPECT_EQ(r.host, c.host) << c.args.join(' ').toStdString();
    EXPECT_EQ(r.port, c.port) << c.args.join(' ').toStdString();
    EXPECT_EQ(r.simulator, c.simulator) << c.args.join(' ').toStdString();
  }
}
