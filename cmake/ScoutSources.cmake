# The portable sources of each library, named once (paths from the top of
# the tree): the builds (CMakeLists.txt) and the fuzzers (fuzz/CMakeLists.txt)
# both take them from here, so that a file added to a library is in both.

# The protocol core: no platform header in here.
set(SCOUT_CORE_SOURCES
  net/address.cpp
  net/broadcast_socket.cpp
  net/query_datagram.cpp
  net/controller_search.cpp
  net/controller_commands.cpp
  net/error_report.cpp)

# The Windows forwarding table's layout and filter, in plain C++.
set(SCOUT_FORWARD_TABLE_SOURCES net/win32/forward_table.cpp)

# The rules below both front ends.
set(SCOUT_OPS_SOURCES
  ops/text.cpp ops/names.cpp ops/answers.cpp ops/hosts.cpp ops/command.cpp ops/verdict.cpp ops/await.cpp
  ops/command_path.cpp ops/plan.cpp ops/changes.cpp ops/commission.cpp ops/replacement.cpp ops/segment_lock.cpp ops/record.cpp ops/doctor.cpp
  ops/firewall_reading.cpp ops/netfilter_reading.cpp ops/csv.cpp ops/expected.cpp ops/audit.cpp
  ops/line_metrics.cpp ops/look.cpp)

# scout-cli's command line, its words and its outputs.
set(SCOUT_CLI_SOURCES
  cli/cli_render.cpp cli/cli_search.cpp cli/cli_args.cpp cli/cli_options.cpp cli/cli_help.cpp cli/cli_words.cpp
  cli/cli_doctor.cpp cli/cli_record.cpp cli/cli_plan.cpp cli/cli_changes.cpp cli/cli_commission.cpp cli/cli_give_row.cpp cli/cli_readdress.cpp
  cli/cli_audit.cpp cli/cli_report.cpp cli/cli_metrics.cpp cli/cli_journal.cpp)
