# The actor plug-ins, listed once for every script (sourced, not run):
#
#   source tools/plugins.sh
#   for plugin in "${vorl_plugins[@]}"; do ...           # file stems
#   cmake --build build --target $(vorl_plugin_targets)  # their build targets
#   actorhost validate $(vorl_plugin_files build)         # the built files
#
# Adding a plug-in: its file stem here, with its source folder and what the
# coverage report calls it. The build target is the stem with "_plugin".
vorl_plugins=(kavrin_watcher bonesplit bonescope)
declare -A vorl_plugin_folder=([kavrin_watcher]=suit_receiver [bonesplit]=joint_decoder
                               [bonescope]=skeleton_renderer)
declare -A vorl_plugin_title=([kavrin_watcher]="watcher plug-in" [bonesplit]="Bonesplit plug-in"
                              [bonescope]="Bonescope plug-in")

# The plug-ins' build targets, one per word.
vorl_plugin_targets() {
  local plugin
  for plugin in "${vorl_plugins[@]}"; do printf '%s_plugin\n' "$plugin"; done
}

# The plug-in files of the Linux build in BUILD_DIR.
vorl_plugin_files() {
  local plugin
  for plugin in "${vorl_plugins[@]}"; do printf '%s/plugins/%s.so\n' "$1" "$plugin"; done
}

# The host-call fuzz targets, one per plug-in.
vorl_host_call_fuzz_targets() {
  local plugin
  for plugin in "${vorl_plugins[@]}"; do printf 'host_calls_%s_fuzz\n' "$plugin"; done
}
