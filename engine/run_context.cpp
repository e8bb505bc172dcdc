#include "run_context.h"

namespace kriging {
namespace {

RunContext& DefaultContext() {
  // Never destroyed: a stop may end the process from any thread at any time.
  static RunContext* context = new RunContext;
  return *context;
}

thread_local RunContext* bound = nullptr;

}  // namespace

RunContext& CurrentContext() { return bound != nullptr ? *bound : DefaultContext(); }

RunContext* BoundContext() { return bound; }

ContextScope::ContextScope(RunContext* context) : previous_(bound) { bound = context; }

ContextScope::~ContextScope() { bound = previous_; }

ErrorServiceState& CurrentErrorState() { return CurrentContext().errors; }

std::string RunFilePath(const char* name) {
  const std::string& folder = CurrentContext().folder;
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

}  // namespace kriging
