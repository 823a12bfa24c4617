// scout-cli's commands, one file each: what each takes and says of itself
// (its help, with the table of its options), and the function that runs it.
// The table in cli_main names them all.
#pragma once

#include "cli/cli_args.h"
#include "cli/cli_session.h"

namespace scout::cli {

extern const CommandHelp SearchHelp;
int RunSearch(Session& session);

extern const CommandHelp InterfacesHelp;
int RunInterfaces(Session& session);

// reset, factory-defaults and reconfigure: one flow (reset_and_reconfigure.cpp).
extern const CommandHelp ResetHelp;
extern const CommandHelp FactoryDefaultsHelp;
extern const CommandHelp ReconfigureHelp;
int RunControllerCommand(Session& session);

extern const CommandHelp ApplyHelp;
int RunApply(Session& session);

extern const CommandHelp WatchHelp;
int RunWatch(Session& session);

extern const CommandHelp CommissionHelp;
int RunCommission(Session& session);

extern const CommandHelp AuditHelp;
int RunAudit(Session& session);

extern const CommandHelp DoctorHelp;
int RunDoctor(Session& session);

extern const CommandHelp HistoryHelp;
int RunHistory(Session& session);

}  // namespace scout::cli
