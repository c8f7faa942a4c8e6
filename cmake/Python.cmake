# The Python module `parandel`: the pybind11 extension parandel/_parandel and the package's
# Python files, laid out in build/python/parandel/ with the bundle resources beside the
# extension (where it finds them, as the LV2 plug-in does in its bundle), so that
# PYTHONPATH=build/python imports it. Built for Debian's Python, which has numpy, pybind11 and
# Dask; a python3 earlier on PATH (a pyenv one) may have none of them.
if(NOT DEFINED Python3_EXECUTABLE AND EXISTS /usr/bin/python3)
  set(Python3_EXECUTABLE /usr/bin/python3 CACHE FILEPATH "The Python the module is built for")
endif()
find_package(Python3 REQUIRED COMPONENTS Interpreter Development.Module)
# A sanitized or fuzzing build makes no module: an instrumented extension cannot be loaded into
# the uninstrumented interpreter (the sanitizer's runtime must come first in a process).
if(PARANDEL_SANITIZE OR PARANDEL_FUZZ)
  return()
endif()
set(PYBIND11_FINDPYTHON ON)
find_package(pybind11 CONFIG REQUIRED)

set(PYTHON_PACKAGE_DIR ${CMAKE_BINARY_DIR}/python/parandel)
# The module links the program's layers: they must be position-independent.
set_target_properties(parandel_app PROPERTIES POSITION_INDEPENDENT_CODE ON)
file(GLOB PYTHON_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/python/*.cpp)
# No link-time optimisation: it would only slow the link of a module whose work is in the layers.
pybind11_add_module(parandel_python NO_EXTRAS ${PYTHON_SOURCES})
set_target_properties(parandel_python PROPERTIES OUTPUT_NAME _parandel
                      LIBRARY_OUTPUT_DIRECTORY ${PYTHON_PACKAGE_DIR})
target_link_libraries(parandel_python PRIVATE parandel_app)

add_custom_target(parandel_python_files ALL
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/python/parandel
          ${PYTHON_PACKAGE_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/resources
          ${PYTHON_PACKAGE_DIR}/resources
  COMMENT "Laying out the Python package")
add_dependencies(parandel_python parandel_python_files)

# The pytest suites, run by CTest with the package and the program of this build.
function(parandel_pytest name file)
  add_test(NAME Python.${name}
           COMMAND Python3::Interpreter -m pytest -q -p no:cacheprovider
                   ${CMAKE_SOURCE_DIR}/tests/python/${file})
  set_tests_properties(Python.${name} PROPERTIES TIMEOUT 300 ENVIRONMENT
    "PYTHONDONTWRITEBYTECODE=1;PYTHONPATH=${CMAKE_BINARY_DIR}/python;PARANDEL_CLI=$<TARGET_FILE:parandel>;PARANDEL_TEST_TMP=${CMAKE_BINARY_DIR}/test-tmp")
endfunction()
parandel_pytest(Module test_module.py)
parandel_pytest(DaskReport test_report.py)
