@echo off
rem Registers the server instance, installs it as an automatically started SuperServer
rem service watched by its guardian, and starts it.
instreg install -z
instsvc install -auto -superserver -guardian -z
instsvc start
