#pragma once
// Where a run's result goes when it is not a plain file: the null device,
// whose output is gone, or another device or a pipe, whose output cannot be
// taken back once written.

#include <string>

namespace kelvane {

// True when `path` is the null device: what is written there is gone, so a
// march may start its output over.
bool IsNullDevice(const std::string& path);

// True when `path` is a device or a pipe, whose output cannot be taken back.
// A name that does not exist (or a folder) is none: its writer's open
// reports the failure before the march, as for any file that cannot be made.
bool IsDeviceOrPipe(const std::string& path);

// The output of a robust run to a device or pipe (other than the null
// device) is held in a private file until the run ends, so that a march
// taken again from the entrance can start the output over; then it is
// copied to the device in one pass.
class DeviceBuffer {
 public:
  DeviceBuffer() = default;
  DeviceBuffer(const DeviceBuffer&) = delete;
  DeviceBuffer& operator=(const DeviceBuffer&) = delete;
  ~DeviceBuffer();
  bool Open();
  bool Active() const { return !path_.empty(); }
  const std::string& Path() const { return path_; }
  // Copies the held output to `target`; errno holds the reason of a failure.
  bool CopyTo(const std::string& target) const;

 private:
  std::string path_;
};

}  // namespace kelvane
