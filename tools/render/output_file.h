#pragma once
#include <string>

namespace intro {

// Writes go to a temporary name beside the final one; commit() renames it
// into place. Until then an error, an exception or an interrupt (SIGINT,
// SIGTERM, SIGHUP) removes the temporary file, so the final name only ever
// holds a complete file.
class OutputFile {
 public:
  // Fails early, with a clear message, when the folder is missing or not
  // writable.
  explicit OutputFile(const std::string& final_path);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  const std::string& temp_path() const { return temp_path_; }
  const std::string& final_path() const { return final_path_; }
  void commit();

 private:
  std::string final_path_;
  std::string temp_path_;
  bool committed_ = false;
};

}  // namespace intro
