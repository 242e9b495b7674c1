# cmake -DREAL=<qicheng> -DDEMO=<qicheng-demo> -P power_off_linked.cmake
# The name of systemd-logind's service (a UTF-16 string literal in the binary) must be in the real
# program, which calls its PowerOff, and nowhere in the demo build.
function(calls_logind binary result)
  file(STRINGS "${binary}" found ENCODING UTF-16LE REGEX "org\\.freedesktop\\.login1")
  if(found)
    set(${result} TRUE PARENT_SCOPE)
  else()
    set(${result} FALSE PARENT_SCOPE)
  endif()
endfunction()

calls_logind("${REAL}" real_calls)
calls_logind("${DEMO}" demo_calls)
if(NOT real_calls)
  message(FATAL_ERROR "${REAL} holds no call to org.freedesktop.login1: this check finds nothing")
endif()
if(demo_calls)
  message(FATAL_ERROR "${DEMO} holds a call to org.freedesktop.login1: the demo could switch the machine off")
endif()
message(STATUS "the demo build holds no call to the power-off service")
