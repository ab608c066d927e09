#include "playlist/sources.h"

#include <vector>

#include "playlist/cover.h"
#include "playlist/cue_sheet.h"
#include "playlist/files.h"
#include "playlist/names.h"
#include "playlist/panel.h"
#include "playlist/probe.h"
#include "playlist/view.h"
#include "shell/message_box.h"

namespace playlist {

namespace {
using shell::kStyleIconInformation;

std::vector<std::u16string_view> SplitAtLineFeeds(std::u16string_view text) {
  std::vector<std::u16string_view> parts;
  size_t begin = 0;
  for (;;) {
    const size_t feed = text.find(u'\n', begin);
    parts.push_back(text.substr(begin, feed == std::u16string_view::npos ? std::u16string_view::npos : feed - begin));
    if (feed == std::u16string_view::npos) return parts;
    begin = feed + 1;
  }
}

void ListSupportedFiles(std::u16string_view folderText, std::vector<std::u16string>* paths) {
  std::u16string folder(folderText);
  // A folder text without its closing separator would glue names onto the
  // folder's own name.
  if (!folder.empty() && !IsPathSeparator(folder.back())) folder += kPathSeparator;
  std::vector<FolderItem> items;
  ListFolder(folder, &items);
  for (const FolderItem& item : items) {
    if (item.IsFolder || item.Name.empty() || item.Name[0] == u'.') continue;
    if (!IsPlaylistExtension(ExtensionOf(item.Name))) continue;
    paths->push_back(folder + item.Name);
  }
}
}  // namespace

bool IsPlaylistExtension(std::u16string_view extension) {
  const std::u16string ext = UpperAscii(extension);
  return ext == u"WAV" || ext == u"CUE" || ext == u"FLAC" || ext == u"AIF" || ext == u"AIFF" || ext == u"M4A";
}

int32_t HighestDeviceRate() {
  for (int32_t rate : {768000, 705600, 384000, 352800, 192000, 176400, 96000, 88200, 48000}) {
    if (View().DeviceSupportsRate(rate)) return rate;
  }
  return 44100;
}

bool ExamineAudioFile(std::u16string_view path, std::u16string_view extension, PlaylistEntry* entry) {
  if (UpperAscii(extension) == u"CUE") return ReadCueSheet(path);
  const int32_t highest = HighestDeviceRate();
  const std::u16string ext = UpperAscii(extension);
  if (!(ext == u"WAV" || ext == u"AIF" || ext == u"AIFF" || ext == u"FLAC" || ext == u"M4A")) return false;

  ProbeStream stream(OpenProbeStream(path));
  int64_t length = 0;
  int32_t rate = 0;
  // A stream that reports no sensible length or rate cannot be played either.
  if (!stream.Handle() || !stream.Describe(&length, &rate)) {
    shell::ShowMessage(u"Error", u"Error of the file '" + std::u16string(FileNameOf(path)) + u"'",
                       shell::kStyleOk | shell::kStyleIconError | shell::kStyleSystemModal);
    return false;
  }
  PlaylistEntry filled;
  filled.FilePath = std::u16string(path);
  filled.Extension = std::u16string(extension);
  filled.ByteLength = length;
  const int64_t seconds = stream.WholeSeconds(length);
  filled.SampleRate = rate;
  if (rate > highest) {
    shell::ShowMessage(u"PCM", u"Sample rate too match.",
                       shell::kStyleOk | kStyleIconInformation | shell::kStyleSystemModal);
    return false;
  }
  if (State.PlaylistRate == 0) {
    State.PlaylistRate = rate;
    View().ShowStatusLabel(RateLabelText(rate));
  } else if (State.PlaylistRate != rate) {
    return false;
  }
  filled.Title = std::u16string(TitleOf(path));
  filled.ListTitle = ListTitleOf(filled.Title);
  filled.DurationText = FormatDurationText(seconds);
  filled.IsCueTrack = 0;
  filled.EntryId = TakeEntryId();
  stream.Reset();
  if (View().ViewCover()) filled.CoverPath = FindCoverArt(path);
  *entry = std::move(filled);
  return true;
}

void AddAudioFile(std::u16string_view path) {
  const std::u16string_view ext = ExtensionOf(path);
  if (!IsPlaylistExtension(ext)) return;
  PlaylistEntry entry;
  if (ExamineAudioFile(path, ext, &entry)) AppendPlaylistEntry(entry);
}

void AddFolder(std::u16string_view folders) {
  std::vector<std::u16string> paths;
  for (std::u16string_view folder : SplitAtLineFeeds(folders)) {
    if (folder.empty() || folder[0] == u'.') continue;
    ListSupportedFiles(folder, &paths);
  }
  for (const std::u16string& path : paths) {
    PlaylistEntry entry;
    if (ExamineAudioFile(path, UpperAscii(ExtensionOf(path)), &entry)) AppendPlaylistEntry(entry);
  }
}

void AddDroppedItems(std::u16string_view items) {
  const std::vector<std::u16string_view> parts = SplitAtLineFeeds(items);
  if (parts.size() == 1) {
    const std::u16string item(parts[0]);
    // A folder with a dot in its name ("Vol. 2") is still a folder.
    if (ExtensionOf(item).empty() || IsFolder(item)) {
      State.ScrollOffset = 0;
      DrawPlaylist();
      AddFolder(!item.empty() && IsPathSeparator(item.back()) ? item : item + kPathSeparator);
      return;
    }
  }
  for (std::u16string_view item : parts) AddAudioFile(item);
}

}  // namespace playlist
