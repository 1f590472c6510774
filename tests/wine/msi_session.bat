@echo off
rem The Windows installer in one Wine prefix: the older release, then this one over it, the installed
rem window driven by window_driver.exe, then uninstall. Prints what it finds after each step; the Linux
rem test (wine_msi_test.cpp) judges it.
rem   msi_session.bat OLDER.msi THIS.msi window_driver.exe DEVICES TOOL_OUT TOOL_ERR LISTED DRIVER_ERR
set INSTALLED=%ProgramFiles%\Vantrel\Discovery
set UNINSTALL=HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall
echo == install older
msiexec /i %1 /qn
echo status %ERRORLEVEL%
reg query %UNINSTALL% /s
echo == install this
msiexec /i %2 /qn
echo status %ERRORLEVEL%
reg query %UNINSTALL% /s
reg query HKCR\Installer\Products /s
call :installed
echo == run
%3 "%INSTALLED%\vantrel-discovery.exe" %4 --tool-stdout %5 --tool-stderr %6 > %7 2> %8
echo status %ERRORLEVEL%
"%INSTALLED%\vantrel-discover.exe" --version
echo == uninstall
msiexec /x %2 /qn
echo status %ERRORLEVEL%
reg query %UNINSTALL% /s
call :installed
exit /b 0

:installed
for %%f in (vantrel-discovery.exe vantrel-discover.exe vantrel-device-sim.exe) do if exist "%INSTALLED%\%%f" echo file %%f
if exist "%ProgramFiles%\Vantrel\Discovery\" echo folder Discovery
if exist "%ProgramFiles%\Vantrel\" echo folder Vantrel
reg query HKLM\Software\Vantrel >nul 2>&1
if not errorlevel 1 echo registry Vantrel
rem Wine puts a per-machine shortcut into the user's menu; Windows into the common one.
if exist "%ProgramData%\Microsoft\Windows\Start Menu\Programs\Vantrel Discovery Tool.lnk" echo shortcut
if exist "%APPDATA%\Microsoft\Windows\Start Menu\Programs\Vantrel Discovery Tool.lnk" echo shortcut
goto :eof
