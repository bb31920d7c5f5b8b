#include "files/StagedStream.h"

#include <cerrno>

namespace kelvane {

bool StagedStream::Open(const std::string& path, bool newFileInPlace) {
  file_ = std::make_unique<StagedFile>(path);
  file_->WriteNewFileInPlace(newFileInPlace);
  error_ = 0;
  if (!file_->Open()) {
    reason_ = file_->Describe(errno);
    file_.reset();
    return false;
  }
  const bool createdHere = newFileInPlace && !file_->Staged() && !file_->Existed();
  f_ = std::fopen(file_->Path().c_str(), createdHere ? "wbx" : "wb");
  if (!f_ && createdHere && errno == EEXIST) return Open(path, false);  // another writer made it: replace it whole
  if (!f_) {
    reason_ = file_->Describe(errno);
    file_.reset();
    return false;
  }
  return true;
}

void StagedStream::Fail(int error) {
  if (error_ == 0) error_ = error ? error : EIO;
}

void StagedStream::Write(const std::string& text) {
  if (f_ && !text.empty() && std::fwrite(text.data(), 1, text.size(), f_) != text.size()) Fail(errno);
}

void StagedStream::Flush() {
  if (f_ && std::fflush(f_) != 0) Fail(errno);
}

bool StagedStream::Close() {
  if (!f_) return error_ == 0;
  if (std::fclose(f_) != 0) Fail(errno);
  f_ = nullptr;
  if (error_ == 0 && !file_->Commit()) Fail(errno);
  if (error_ != 0) {
    reason_ = file_->Describe(error_);
    if (file_->Existed()) file_->Discard();
    else file_->Commit();
  }
  file_.reset();
  return error_ == 0;
}

StagedStream::~StagedStream() {
  if (f_) std::fclose(f_);
}

}  // namespace kelvane
