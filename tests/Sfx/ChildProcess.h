// Starting a program of the tests as a child process with a chosen
// environment and its output captured in a file.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace sfxtest {

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
    std::vector<char*> av, ev;
    for (std::string& a : argv) av.push_back(a.data());
    av.push_back(nullptr);
    for (std::string& e : env) ev.push_back(e.data());
    ev.push_back(nullptr);
    execve(argv[0].c_str(), av.data(), ev.data());
    _exit(127);
  }
  return pid;
}

}  // namespace sfxtest
