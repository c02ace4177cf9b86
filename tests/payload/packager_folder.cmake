# Makes a packager's folders for the tests of the packager's way: OUT/application with a file for
# every entry of the payload's manifest, and OUT/server with the server tree. A file the setup
# starts or loads is our stand-in program as built, without the padding that brings it to the
# listed size; every other file is a text of its own, of another size than its entry lists. So
# whatever the setup lays down shows whether it came from this folder. Two files are named as the
# deployment asks for them, in another letter case than the archive stores them, as a packager
# copying from Windows may have them.
#
# usage: cmake -DMANIFESTS=payload/manifest -DSTANDINS=<stand-in folder> -DOUT=<folder> -P packager_folder.cmake
foreach(variable MANIFESTS STANDINS OUT)
  if(NOT ${variable})
    message(FATAL_ERROR "packager_folder.cmake needs -D${variable}=...")
  endif()
endforeach()

set(renamed_vereru_ib.exe VeReru_IB.exe)
set(renamed_SoDuDau-Taikhoan.xls SoDuDau-TaiKhoan.xls)

function(make_folder manifest standins destination)
  file(REMOVE_RECURSE ${destination})
  file(MAKE_DIRECTORY ${destination})
  file(STRINGS ${manifest} lines ENCODING UTF-8)
  foreach(line IN LISTS lines)
    if(NOT line MATCHES "^([0-9]+) (stored|deflated) (.+)$")
      continue()
    endif()
    set(name ${CMAKE_MATCH_3})
    if(name MATCHES "/$")
      file(MAKE_DIRECTORY ${destination}/${name})
      continue()
    endif()
    set(file_name ${name})
    if(DEFINED renamed_${name})
      set(file_name ${renamed_${name}})
    endif()
    if(EXISTS ${standins}/${name})
      file(COPY_FILE ${standins}/${name} ${destination}/${file_name})
    else()
      string(LENGTH "${name}" lines_of_text)
      string(REPEAT "Quenlar Accounting 2887, bản của người đóng gói: ${name}\r\n" ${lines_of_text} text)
      file(WRITE ${destination}/${file_name} "${text}")
    endif()
  endforeach()
endfunction()

make_folder(${MANIFESTS}/cacfile.txt ${STANDINS}/cacfile ${OUT}/application)
make_folder(${MANIFESTS}/firebird.txt ${STANDINS}/firebird ${OUT}/server)
file(TOUCH ${OUT}/files.stamp)
