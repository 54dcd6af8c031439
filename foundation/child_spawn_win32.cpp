#include "foundation/child_spawn_win32.h"

#include "foundation/child_environment.h"

namespace {

// A process attribute list naming the only handles a child may inherit.
class HandleListAttribute {
 public:
  HandleListAttribute(HANDLE* handles, std::size_t count) {
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    storage_.resize(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
    if (size == 0 || !InitializeProcThreadAttributeList(list, 1, 0, &size)) return;
    initialised_ = true;
    if (UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles,
                                  count * sizeof(HANDLE), nullptr, nullptr)) {
      list_ = list;
    }
  }
  ~HandleListAttribute() {
    if (initialised_) {
      DeleteProcThreadAttributeList(
          reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data()));
    }
  }
  HandleListAttribute(const HandleListAttribute&) = delete;
  HandleListAttribute& operator=(const HandleListAttribute&) = delete;

  // Nothing when the list could not be made.
  LPPROC_THREAD_ATTRIBUTE_LIST List() const { return list_; }

 private:
  std::vector<char> storage_;
  bool initialised_ = false;
  LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

}  // namespace

bool StartChildProcess(const std::string& commandLine,
                       const std::vector<std::string>& extraEnvironment, HANDLE input,
                       HANDLE output, HANDLE error, HANDLE* inherited, std::size_t count,
                       PROCESS_INFORMATION* process) {
  STARTUPINFOEXA startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = input;
  startup.StartupInfo.hStdOutput = output;
  startup.StartupInfo.hStdError = error;
  HandleListAttribute attribute(inherited, count);
  startup.lpAttributeList = attribute.List();
  if (!startup.lpAttributeList) return false;
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  // No block of its own unless something is added: the child then simply
  // inherits the server's environment.
  std::vector<char> environment;
  if (!extraEnvironment.empty()) {
    for (const std::string& entry : ChildEnvironment(extraEnvironment)) {
      environment.insert(environment.end(), entry.begin(), entry.end());
      environment.push_back('\0');
    }
    environment.push_back('\0');
  }
  return CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE,
                        DETACHED_PROCESS | EXTENDED_STARTUPINFO_PRESENT,
                        environment.empty() ? nullptr : environment.data(), nullptr,
                        &startup.StartupInfo, process) != 0;
}
