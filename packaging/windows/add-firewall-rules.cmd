@echo off
rem Adds the Windows Defender Firewall rules that Ethernet Scout needs for the
rem programs in this folder: replies in on UDP port 65513, queries out to UDP
rem port 65515, for scout.exe and scout-cli.exe, on every network profile.
rem Run it as administrator (right-click, Run as administrator), once; it may
rem run again (the rules are replaced). remove-firewall-rules.cmd removes them.
setlocal EnableDelayedExpansion
net session >nul 2>&1
if errorlevel 1 (
  echo add-firewall-rules: run it as administrator: right-click it, Run as administrator
  exit /b 1
)
set "netsh=%SystemRoot%\System32\netsh.exe"
set "here=%~dp0"
for %%p in (scout.exe scout-cli.exe) do (
  if not exist "!here!%%p" (
    echo add-firewall-rules: %%p is not in !here!
    exit /b 1
  )
)
for %%p in (scout.exe scout-cli.exe) do (
  "!netsh!" advfirewall firewall delete rule name="Ethernet Scout (%%p)" >nul 2>&1
  "!netsh!" advfirewall firewall add rule name="Ethernet Scout (%%p)" dir=in action=allow protocol=UDP localport=65513 program="!here!%%p" profile=any >nul
  if errorlevel 1 goto failed
  "!netsh!" advfirewall firewall add rule name="Ethernet Scout (%%p)" dir=out action=allow protocol=UDP remoteport=65515 program="!here!%%p" profile=any >nul
  if errorlevel 1 goto failed
  echo allowed !here!%%p: UDP port 65513 in, UDP port 65515 out
)
exit /b 0

:failed
echo add-firewall-rules: netsh could not add the rules
exit /b 1
