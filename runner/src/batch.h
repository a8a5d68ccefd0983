// Many drawings at once: each cleaned by its own worker process (this very
// program, run on one file), so a crash or running out of memory costs only
// that drawing.
#pragma once

#include <string>
#include <vector>

namespace drawclean {

// The drawings the inputs name: files as given, folders by their .dxf and
// .json files (any case, not in subfolders), sorted. False with a reason
// when a folder cannot be read or holds no drawing.
bool ExpandInputs(const std::vector<std::string>& inputs, std::vector<std::string>& files, std::string* error);

// How many drawings run at once by default: the processors this process may use.
unsigned DefaultJobs();

struct BatchJob {
  std::string input, output;
};

struct BatchOutcome {
  bool ok = false;
  std::string line;  // the worker's one line, or why it failed
};

// Runs `program` with `args` + input + "-o" + output for each job, at most
// `jobs` at once; `done` sees each outcome as its worker ends.
template <typename F>
void RunBatch(const std::string& program, const std::vector<std::string>& args, const std::vector<BatchJob>& work,
              unsigned jobs, F done);

// What a worker's exit status says, with what it wrote: its own line when it
// gave one, else what ended it.
BatchOutcome WorkerOutcome(const std::string& input, int waitStatus, const std::string& out, const std::string& err);

// The non-template core of RunBatch.
void RunWorkers(const std::string& program, const std::vector<std::string>& args, const std::vector<BatchJob>& work,
                unsigned jobs, void (*done)(void*, size_t, const BatchOutcome&), void* context);

template <typename F>
void RunBatch(const std::string& program, const std::vector<std::string>& args, const std::vector<BatchJob>& work,
              unsigned jobs, F done) {
  RunWorkers(program, args, work, jobs,
             [](void* c, size_t i, const BatchOutcome& o) { (*static_cast<F*>(c))(i, o); }, &done);
}

}  // namespace drawclean
