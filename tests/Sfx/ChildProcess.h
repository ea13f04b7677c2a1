// Starting a program of the tests as a child process with a chosen
// environment and its output captured in a file.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

namespace sfxtest {

// In a forked child: runs argv[0] with exactly `env`; never returns.
[[noreturn]] inline void ExecChild(std::vector<std::string>& argv, std::vector<std::string>& env) {
  std::vector<char*> av, ev;
  for (std::string& a : argv) av.push_back(a.data());
  av.push_back(nullptr);
  for (std::string& e : env) ev.push_back(e.data());
  ev.push_back(nullptr);
  execve(argv[0].c_str(), av.data(), ev.data());
  _exit(127);
}

// Starts argv[0] with the arguments argv[1..] and exactly `env` as its
// environment; standard input reads /dev/null, standard output and error
// go to the file `output`. Returns the child's pid (-1 when fork fails).
inline int StartChild(std::vector<std::string> argv, std::vector<std::string> env,
                      const std::string& output) {
  int pid = fork();
  if (pid == 0) {
    int in = open("/dev/null", O_RDONLY);
    int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(in, 0);
    dup2(out, 1);
    dup2(out, 2);
    ExecChild(argv, env);
  }
  return pid;
}

// How a child run with its two output streams on pipes ended.
struct PipedRun {
  int status = -1;   // exit status, or -1
  int signal = 0;    // the signal that ended it, or 0
  bool hung = false; // killed after the time limit
  std::string out;   // what it wrote to standard output
  std::string err;   // what it wrote to standard error
};

// Runs argv with exactly `env`, standard input from /dev/null and standard
// output and error on two pipes read to their end; a child still running
// after `seconds` is killed.
inline PipedRun RunPiped(std::vector<std::string> argv, std::vector<std::string> env, int seconds) {
  PipedRun run;
  int out[2], err[2];
  if (pipe(out) != 0) return run;
  if (pipe(err) != 0) {
    close(out[0]);
    close(out[1]);
    return run;
  }
  int pid = fork();
  if (pid == 0) {
    int in = open("/dev/null", O_RDONLY);
    dup2(in, 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    close(out[0]);
    close(err[0]);
    ExecChild(argv, env);
  }
  close(out[1]);
  close(err[1]);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* texts[2] = {&run.out, &run.err};
  int open_streams = 2;
  while (open_streams > 0 && pid > 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      run.hung = true;
      break;
    }
    if (poll(fds, 2, 100) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buffer[4096];
      ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        texts[i]->append(buffer, static_cast<size_t>(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_streams;
      }
    }
  }
  for (pollfd& f : fds)
    if (f.fd >= 0) close(f.fd);
  int raw = 0;
  if (pid > 0 && waitpid(pid, &raw, 0) == pid) {
    if (WIFEXITED(raw)) run.status = WEXITSTATUS(raw);
    if (WIFSIGNALED(raw)) run.signal = WTERMSIG(raw);
  }
  return run;
}

}  // namespace sfxtest
