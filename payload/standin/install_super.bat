@echo off
rem Registers the server instance, installs it as an automatically started SuperServer
rem service watched by its guardian, and starts it.
if not "%1"=="" goto usage
instreg install -z
instsvc install -auto -superserver -guardian -z
instsvc start
goto end
:usage
echo This script takes no arguments.
:end
