// How hvxserver ends and what it leaves: a standard output and error whose reader has
// gone don't end it; its names entry goes with it at a console event's end; a client
// asking for a server whose entry names a dead process is answered at once.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "orna/orna_api.h"
#include "tests/system/hvx_server_run.h"

namespace {

using Clock = std::chrono::steady_clock;

bool StartServing(HvxServerRun& run) {
  return run.WriteSettings() && run.WriteAnimation(CounterAnimation(16, 8, 4)) && run.Start() &&
         run.WaitServing(15000);
}

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// Answers the result of a read of Server Status.
int ReadStatus(const HvxServerRun& run, int timeoutMs) {
  int32_t status = 0;
  DataObject output{};
  output.count = 1;
  output.format = ORNA_FMT_INT32;
  output.data = &status;
  return ExecLinkEx(run.Address("Server").c_str(), "Status", &output, nullptr, ORNA_ACCESS_READ,
                    timeoutMs);
}

// `hvxserver 2>&1 | head -1`: the reader of the server's output goes while the server
// runs. The server's next log line must not end it: it logs on to HVX.log, answers, and
// ends by SIGTERM as it would otherwise, its names entry withdrawn.
// Starts RUN with its standard output and error on a FIFO whose reader goes once the
// server serves.
void StartServingIntoAPipeWithoutReader(HvxServerRun& run) {
  const std::string fifo = run.dir().Join("output.fifo");
  ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
  // Open before the server, so that the server's open for writing finds a reader.
  int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);  // not the server's
  ASSERT_GE(reader, 0);
  run.SendOutputTo(fifo);
  const bool serving = StartServing(run);
  close(reader);
  ASSERT_TRUE(serving) << run.Log();
}

TEST(ProcessEnd, OutputToAPipeWithoutReaderNeitherEndsNorSilencesTheServer) {
  HvxServerRun run;
  ASSERT_NO_FATAL_FAILURE(StartServingIntoAPipeWithoutReader(run));

  // A restart logs the video service's answer again, to standard error first.
  const std::string remark = "--- Remark: ORNA Video Service GetCfgForSrvID(";
  const size_t remarks = Count(run.Log(), remark);
  int32_t one = 1;
  DataObject input{};
  input.count = 1;
  input.format = ORNA_FMT_INT32;
  input.data = &one;
  ASSERT_EQ(513, ExecLinkEx(run.Address("Server").c_str(), "DoRestart", nullptr, &input,
                            ORNA_ACCESS_WRITE, 5000));
  const Clock::time_point end = Clock::now() + std::chrono::seconds(15);
  while (Count(run.Log(), remark) == remarks && run.Running() && Clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_TRUE(run.Running()) << "ended by its log line\n" << run.Log();
  EXPECT_GT(Count(run.Log(), remark), remarks) << run.Log();
  EXPECT_EQ(0, ReadStatus(run, 5000));

  ASSERT_TRUE(run.Signal(SIGTERM));
  int status = 0;
  ASSERT_TRUE(run.WaitExit(15000, &status));
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_NE(std::string::npos, run.Log().find("ConsoleEvent: Machine is going to shut down."));
  EXPECT_FALSE(run.NamesEntryExists());
}

// The quit switch of a second instance (SRVEXIT) makes the server say goodbye on its
// standard output, which nobody reads any more: it still ends by its normal path.
TEST(ProcessEnd, QuitWithOutputToAPipeWithoutReaderEndsNormally) {
  HvxServerRun run;
  ASSERT_NO_FATAL_FAILURE(StartServingIntoAPipeWithoutReader(run));
  int32_t value = 14;  // what the quit switch sends
  DataObject input{};
  input.count = 1;
  input.format = ORNA_FMT_INT32;
  input.data = &value;
  EXPECT_EQ(0, ExecLinkEx(run.Address("Server").c_str(), "SRVEXIT", nullptr, &input,
                          ORNA_ACCESS_WRITE, 5000));
  int status = 0;
  ASSERT_TRUE(run.WaitExit(15000, &status));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_FALSE(run.NamesEntryExists());
}

// Ctrl+C, closing the console and shutdown end the server by their signal, as before,
// and take its names entry with it.
TEST(ProcessEnd, ConsoleEventsEndingTheServerWithdrawItsNamesEntry) {
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(signal);
    HvxServerRun run;
    ASSERT_TRUE(StartServing(run)) << run.Log();
    ASSERT_TRUE(run.NamesEntryExists());
    ASSERT_TRUE(run.Signal(signal));
    int status = 0;
    ASSERT_TRUE(run.WaitExit(15000, &status));
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    EXPECT_FALSE(run.NamesEntryExists()) << "left behind after signal " << signal;
  }
}

// An end nobody sees (SIGKILL) leaves the entry; a client then learns at once that the
// server is gone instead of waiting out its time-out.
TEST(ProcessEnd, EntryOfAKilledServerIsAnsweredAtOnce) {
  HvxServerRun run;
  ASSERT_TRUE(StartServing(run)) << run.Log();
  ASSERT_TRUE(run.Signal(SIGKILL));
  int status = 0;
  ASSERT_TRUE(run.WaitExit(15000, &status));
  ASSERT_TRUE(run.NamesEntryExists());
  const Clock::time_point start = Clock::now();
  EXPECT_EQ(ORNA_CONNECTION_TIMEOUT, ReadStatus(run, 6000));
  // Well under the 6 s, with room for a slow, loaded machine.
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(2000));
}

}  // namespace
