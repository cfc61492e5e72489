# Makes the release package: a zip of the exes and the documents with a
# SHA256SUMS file, its entries in sorted order with one fixed modification
# time. Run by the "package" target:
#   cmake -DPACKAGE=NAME -DOUTPUT_DIR=DIR -DFILES="a;b;..." -P package.cmake
set(stage ${OUTPUT_DIR}/${PACKAGE})
file(REMOVE_RECURSE ${stage})
file(MAKE_DIRECTORY ${stage})
set(sums "")
set(names "")
foreach(path IN LISTS FILES)
    get_filename_component(name ${path} NAME)
    file(COPY_FILE ${path} ${stage}/${name})
    file(SHA256 ${path} hash)
    string(APPEND sums "${hash}  ${name}\n")
    list(APPEND names ${PACKAGE}/${name})
endforeach()
file(WRITE ${stage}/SHA256SUMS "${sums}")
list(APPEND names ${PACKAGE}/SHA256SUMS)
list(SORT names)
execute_process(
    COMMAND ${CMAKE_COMMAND} -E tar cf ${OUTPUT_DIR}/${PACKAGE}.zip --format=zip
            "--mtime=2000-01-01 00:00:00 UTC" ${names}
    WORKING_DIRECTORY ${OUTPUT_DIR}
    RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "could not make ${OUTPUT_DIR}/${PACKAGE}.zip")
endif()
file(SHA256 ${OUTPUT_DIR}/${PACKAGE}.zip zip_hash)
message(STATUS "${PACKAGE}.zip: ${zip_hash}")
