@echo off
rem Removes the Windows Defender Firewall rules that add-firewall-rules.cmd
rem (or the installer) added for Ethernet Scout. Run it as administrator.
setlocal
net session >nul 2>&1
if errorlevel 1 (
  echo remove-firewall-rules: run it as administrator: right-click it, Run as administrator
  exit /b 1
)
for %%p in (scout.exe scout-cli.exe) do (
  "%SystemRoot%\System32\netsh.exe" advfirewall firewall delete rule name="Ethernet Scout (%%p)" >nul 2>&1
  echo removed the rules of %%p
)
exit /b 0
