@echo off
rem Registers the server instance, installs it as an automatically started SuperServer
rem service watched by its guardian, and starts it. The exit keeps the command prompt from
rem reading the padding that brings this file to its listed size.
instreg install -z
instsvc install -auto -superserver -guardian -z
instsvc start
exit /b 0
