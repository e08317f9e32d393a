#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "hostlib/host_library.h"
#include "nerolin/message_sink.h"
#include "nerolin/object.h"

namespace nerolin {

// What every clsMain, clsModWrapper and engine routine of one component
// shares: the host data library slot, the two switches a host sets and the
// folder of the last template GetHTML opened. Not locked: the component is
// used from the host's one thread.
class ComponentState {
 public:
  // The one instance the engine's public objects share for the life of the
  // process. Tests make their own with std::make_shared<ComponentState>().
  static const std::shared_ptr<ComponentState>& Process();

  ComponentState();

  // The host data library slot. Assigning replaces (and releases) what it
  // held.
  const ObjectRef& host_library() const { return host_library_; }
  void set_host_library(ObjectRef library) {
    host_library_ = std::move(library);
  }
  // Typed calls on the object now in the slot.
  hostlib::HostLibrary Library() const {
    return hostlib::HostLibrary(host_library_);
  }

  bool find_match_if_field_doesnt_exists() const { return find_match_; }
  void set_find_match_if_field_doesnt_exists(bool on) { find_match_ = on; }

  // Base URL of document pictures; "" until set.
  const std::string& image_base_url() const { return image_base_url_; }
  void set_image_base_url(std::string url) { image_base_url_ = std::move(url); }

  // Folder of the template GetHTML last opened, ending with a separator;
  // "" until then.
  const std::string& template_folder() const { return template_folder_; }
  void set_template_folder(std::string folder) {
    template_folder_ = std::move(folder);
  }

  // Where failure messages go; standard error until a host installs its own.
  // A null sink restores the default.
  void set_message_sink(std::shared_ptr<MessageSink> sink);
  void ShowMessage(std::string_view text, std::string_view title = {},
                   MessageIcon icon = MessageIcon::kCritical) const;

 private:
  ObjectRef host_library_;
  bool find_match_ = false;
  std::string image_base_url_;
  std::string template_folder_;
  std::shared_ptr<MessageSink> message_sink_;
};

}  // namespace nerolin
