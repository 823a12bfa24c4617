-- What wixl cannot write, added to its MSI one statement per line.
-- The install folder at the end of the system PATH, removed again on uninstall.
CREATE TABLE `Environment` (`Environment` CHAR(72) NOT NULL, `Name` CHAR(255) NOT NULL LOCALIZABLE, `Value` CHAR(255) LOCALIZABLE, `Component_` CHAR(72) NOT NULL PRIMARY KEY `Environment`)
INSERT INTO `Environment` (`Environment`, `Name`, `Value`, `Component_`) VALUES ('PathEntry', '=-*PATH', '[~];[INSTALLDIR]', 'Programs')
INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('RemoveEnvironmentStrings', 3300)
INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('WriteEnvironmentStrings', 5200)
-- Windows Defender Firewall, for both programs on every profile: the replies to UDP port 65513 let
-- in, and the queries and commands to port 65515 let out where a policy blocks what goes out; one
-- name per program for both, so that one delete removes both. netsh runs as the system (deferred,
-- not impersonated); its exit status is no failure of the install.
INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('FirewallAddScout', 3170, 'INSTALLDIR', '"[SystemFolder]netsh.exe" advfirewall firewall add rule name="Ethernet Scout (scout.exe)" dir=in action=allow protocol=UDP localport=65513 program="[INSTALLDIR]scout.exe" profile=any')
INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('FirewallAddCli', 3170, 'INSTALLDIR', '"[SystemFolder]netsh.exe" advfirewall firewall add rule name="Ethernet Scout (scout-cli.exe)" dir=in action=allow protocol=UDP localport=65513 program="[INSTALLDIR]scout-cli.exe" profile=any')
INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('FirewallOutScout', 3170, 'INSTALLDIR', '"[SystemFolder]netsh.exe" advfirewall firewall add rule name="Ethernet Scout (scout.exe)" dir=out action=allow protocol=UDP remoteport=65515 program="[INSTALLDIR]scout.exe" profile=any')
INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('FirewallOutCli', 3170, 'INSTALLDIR', '"[SystemFolder]netsh.exe" advfirewall firewall add rule name="Ethernet Scout (scout-cli.exe)" dir=out action=allow protocol=UDP remoteport=65515 program="[INSTALLDIR]scout-cli.exe" profile=any')
INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('FirewallDeleteScout', 3170, 'INSTALLDIR', '"[SystemFolder]netsh.exe" advfirewall firewall delete rule name="Ethernet Scout (scout.exe)"')
INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('FirewallDeleteCli', 3170, 'INSTALLDIR', '"[SystemFolder]netsh.exe" advfirewall firewall delete rule name="Ethernet Scout (scout-cli.exe)"')
INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`) VALUES ('FirewallDeleteScout', 'REMOVE~="ALL"', 3401)
INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`) VALUES ('FirewallDeleteCli', 'REMOVE~="ALL"', 3402)
INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`) VALUES ('FirewallAddScout', 'NOT REMOVE~="ALL"', 4001)
INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`) VALUES ('FirewallAddCli', 'NOT REMOVE~="ALL"', 4002)
INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`) VALUES ('FirewallOutScout', 'NOT REMOVE~="ALL"', 4003)
INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`) VALUES ('FirewallOutCli', 'NOT REMOVE~="ALL"', 4004)
