@echo off
rem Stops the server, removes its service and its registration. The exit keeps the command
rem prompt from reading the padding that brings this file to its listed size.
instsvc stop
instsvc remove -z
instreg remove -z
exit /b 0
