# Signing the release, for the packager who has a code-signing certificate: a PKCS#12 file and a
# file holding its password (never the password itself, which would end up in the cache and in
# build logs). The engine library is signed before the setup carries it, the setup after it is
# linked. Without a certificate nothing is signed.
set(QLR_SIGN_PKCS12 "" CACHE FILEPATH "PKCS#12 file with the code-signing certificate and key (empty: nothing is signed)")
set(QLR_SIGN_PASSWORD_FILE "" CACHE FILEPATH "File holding the PKCS#12 file's password")
set(QLR_SIGN_TIMESTAMP_URL "" CACHE STRING "Timestamp server for the signatures (empty: none)")

# qlr_check_signing_key(PKCS12 PASSWORD_FILE): stops the configuration, naming the file, when
# either file is missing or the password does not open the PKCS#12 file.
function(qlr_check_signing_key pkcs12 password_file)
  if(NOT EXISTS "${pkcs12}" OR IS_DIRECTORY "${pkcs12}")
    message(FATAL_ERROR "Signing: the PKCS#12 file ${pkcs12} does not exist")
  endif()
  if(NOT password_file)
    message(FATAL_ERROR "Signing: QLR_SIGN_PASSWORD_FILE must name the file holding the password of ${pkcs12}")
  endif()
  if(NOT EXISTS "${password_file}" OR IS_DIRECTORY "${password_file}")
    message(FATAL_ERROR "Signing: the password file ${password_file} does not exist")
  endif()
  find_program(QLR_OSSLSIGNCODE osslsigncode REQUIRED)
  find_program(QLR_OPENSSL openssl REQUIRED)
  # OpenSSL 3 opens the RC2-40 files that older tools export by default only through its legacy
  # provider; osslsigncode signs with them, so they are tried that way too.
  execute_process(COMMAND ${QLR_OPENSSL} pkcs12 -in ${pkcs12} -passin file:${password_file} -noout
                  RESULT_VARIABLE opened OUTPUT_QUIET ERROR_QUIET)
  if(NOT opened EQUAL 0)
    execute_process(COMMAND ${QLR_OPENSSL} pkcs12 -legacy -in ${pkcs12} -passin file:${password_file} -noout
                    RESULT_VARIABLE opened OUTPUT_QUIET ERROR_QUIET)
  endif()
  if(NOT opened EQUAL 0)
    message(FATAL_ERROR "Signing: the password in ${password_file} does not open ${pkcs12} (or it is no PKCS#12 file)")
  endif()
endfunction()

if(QLR_WINDOWS)
  if(QLR_SIGN_PKCS12)
    qlr_check_signing_key("${QLR_SIGN_PKCS12}" "${QLR_SIGN_PASSWORD_FILE}")
    message(STATUS "Signing: ZIPENG179.DLL and SetupQLR.exe are signed with ${QLR_SIGN_PKCS12}")
  else()
    message(STATUS "Signing: off (QLR_SIGN_PKCS12 not set): SetupQLR.exe and ZIPENG179.DLL are not signed")
  endif()
endif()

# qlr_sign_command(VAR IN OUT [PKCS12 file PASSWORD_FILE file] [EPOCH seconds]): in VAR the
# command that writes OUT as IN signed, with the given key or else the release's, at the time
# EPOCH (else the build environment's SOURCE_DATE_EPOCH, else now); empty when there is no key.
function(qlr_sign_command var in out)
  cmake_parse_arguments(A "" "PKCS12;PASSWORD_FILE;EPOCH" "" ${ARGN})
  if(NOT A_PKCS12)
    set(A_PKCS12 ${QLR_SIGN_PKCS12})
    set(A_PASSWORD_FILE ${QLR_SIGN_PASSWORD_FILE})
  endif()
  set(command)
  if(A_PKCS12)
    set(url -)
    if(QLR_SIGN_TIMESTAMP_URL)
      set(url ${QLR_SIGN_TIMESTAMP_URL})
    endif()
    set(command bash ${PROJECT_SOURCE_DIR}/tools/scripts/sign.sh ${A_PKCS12} ${A_PASSWORD_FILE} ${url} ${in} ${out})
    if(A_EPOCH)
      list(PREPEND command ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${A_EPOCH})
    endif()
  endif()
  set(${var} "${command}" PARENT_SCOPE)
endfunction()

# qlr_sign_target(TARGET [PKCS12 file PASSWORD_FILE file]): signs the program once it is linked.
function(qlr_sign_target target)
  qlr_sign_command(command $<TARGET_FILE:${target}> $<TARGET_FILE:${target}> ${ARGN})
  if(command)
    add_custom_command(TARGET ${target} POST_BUILD COMMAND ${command} VERBATIM)
  endif()
endfunction()
