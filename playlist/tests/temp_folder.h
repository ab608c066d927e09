// A fresh folder under the system's temporary folder, removed with everything
// in it when the fixture goes. Names are UTF-8 here and UTF-16 for the code.
#pragma once
#include <filesystem>
#include <string>

namespace playlist_test {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  // Folder text with its closing separator, as the playlist code takes it.
  std::u16string Path() const;
  // Creates a file (or a folder when name ends in '/') below the folder.
  void Add(const std::string& name, const std::string& content = "");

 private:
  std::filesystem::path root_;
};

}  // namespace playlist_test
