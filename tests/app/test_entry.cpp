// The program's entry: subcommands run without a display and never start the desktop program.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

namespace {

TEST(Entry, HeadlessCommandsNeedNoDisplay) {
  QProcess quillet;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove("DISPLAY");
  env.remove("WAYLAND_DISPLAY");
  env.remove("QT_QPA_PLATFORM");
  quillet.setProcessEnvironment(env);
  quillet.start(QStringLiteral(QUILLET_BINARY), {QStringLiteral("--version")});
  ASSERT_TRUE(quillet.waitForFinished(60000));
  EXPECT_EQ(quillet.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(quillet.exitCode(), 0);
  EXPECT_TRUE(quillet.readAllStandardOutput().startsWith("quillet "));
}

}  // namespace
