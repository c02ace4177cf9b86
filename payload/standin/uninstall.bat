@echo off
rem Stops the server, removes its service and its registration.
instsvc stop
instsvc remove -z
instreg remove -z
