# `make package`: a Debian package a station can install. The connector keeps
# its settings files, journal and day log beside its executable, so the
# programs go to a directory of their own that the station's operators may
# write: /opt/concentrador-tarnex, group "tarnex" (see postinst).
set(TARNEX_DIRETORIO /opt/concentrador-tarnex)

install(TARGETS ConcentradorTarnex FcmMasterX fcmsim criaposto auditoria-encerrantes RUNTIME DESTINATION ${TARNEX_DIRETORIO})
install(FILES ${PROJECT_SOURCE_DIR}/station/esquema.sql ${PROJECT_SOURCE_DIR}/station/posto_demo.sql
        DESTINATION share/concentrador-tarnex)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/concentrador-tarnex.desktop DESTINATION share/applications)
# Off by default: the installer copies it into the operator account's
# ~/.config/autostart to start the connector with that account's session
# (the installer's guide says how).
install(FILES ${PROJECT_SOURCE_DIR}/packaging/concentrador-tarnex-partida.desktop
        DESTINATION share/concentrador-tarnex RENAME partida-automatica.desktop)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/guia-do-operador.md
              ${PROJECT_SOURCE_DIR}/docs/guia-do-instalador.md
        DESTINATION share/doc/concentrador-tarnex)
install(FILES ${PROJECT_SOURCE_DIR}/simulator/README.md DESTINATION share/doc/concentrador-tarnex
        RENAME protocolo-do-componente.md)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/imagens DESTINATION share/doc/concentrador-tarnex)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION share/doc/concentrador-tarnex)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/lintian-overrides DESTINATION share/lintian/overrides
        RENAME concentrador-tarnex)

# The package's version is the changelog's: a release that moves one and not
# the other would ship a changelog that does not describe it.
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog TARNEX_ENTRADA_CHANGELOG LIMIT_COUNT 1)
if(NOT TARNEX_ENTRADA_CHANGELOG MATCHES "^concentrador-tarnex \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "packaging/changelog begins with '${TARNEX_ENTRADA_CHANGELOG}', "
                        "not with version ${PROJECT_VERSION} of CMakeLists.txt")
endif()
# The manual pages carry the date of that entry.
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog TARNEX_ASSINATURA REGEX "^ -- " LIMIT_COUNT 1)
string(REGEX MATCH "([0-9]+) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9])" TARNEX_DATA "${TARNEX_ASSINATURA}")
set(TARNEX_MESES Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND TARNEX_MESES "${CMAKE_MATCH_2}" TARNEX_MES)
math(EXPR TARNEX_MES "${TARNEX_MES} + 1" OUTPUT_FORMAT DECIMAL)
string(LENGTH "${TARNEX_MES}" TARNEX_TAMANHO)
if(TARNEX_TAMANHO EQUAL 1)
    set(TARNEX_MES "0${TARNEX_MES}")
endif()
set(TARNEX_DATA_MANUAL "${CMAKE_MATCH_3}-${TARNEX_MES}-${CMAKE_MATCH_1}")

# Debian wants the changelog and the manual pages compressed to the maximum
# and without a timestamp, so two builds of a release give the same files.
set(TARNEX_COMPRIMIDOS)
function(tarnex_comprime pOrigem pDestino)
    add_custom_command(OUTPUT ${pDestino}
                       COMMAND gzip -9 -n -c ${pOrigem} > ${pDestino}
                       DEPENDS ${pOrigem})
    set(TARNEX_COMPRIMIDOS ${TARNEX_COMPRIMIDOS} ${pDestino} PARENT_SCOPE)
endfunction()
tarnex_comprime(${PROJECT_SOURCE_DIR}/packaging/changelog ${CMAKE_BINARY_DIR}/pacote/changelog.gz)
foreach(programa ConcentradorTarnex FcmMasterX fcmsim criaposto auditoria-encerrantes)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/man/${programa}.1.in ${CMAKE_BINARY_DIR}/pacote/${programa}.1 @ONLY)
    tarnex_comprime(${CMAKE_BINARY_DIR}/pacote/${programa}.1 ${CMAKE_BINARY_DIR}/pacote/${programa}.1.gz)
    install(FILES ${CMAKE_BINARY_DIR}/pacote/${programa}.1.gz DESTINATION share/man/man1)
endforeach()
add_custom_target(arquivos_pacote ALL DEPENDS ${TARNEX_COMPRIMIDOS})
install(FILES ${CMAKE_BINARY_DIR}/pacote/changelog.gz DESTINATION share/doc/concentrador-tarnex)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME concentrador-tarnex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Equipe do Concentrador Tarnex <suporte@tarnex.com.br>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Conector entre os concentradores de bombas e o banco Firebird do posto")
set(CPACK_PACKAGE_DESCRIPTION
    "Cada abastecimento informado por uma bomba vira uma linha da tabela mvabast;\ncada estado de bico vai para a tabela bombas. Inclui o servidor do componente\nFcmMasterX, o simulador fcmsim, criaposto, que prepara um banco de posto, e\nauditoria-encerrantes, que confere se cada litro dos encerrantes foi gravado.")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The libraries the programs link (Qt 6, the Firebird client) come from
# dpkg-shlibdeps; the embedded engine is loaded at run time as a plugin.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6widgets6, libfbclient2, firebird3.0-server-core, adduser")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "firebird3.0-utils, xvfb")
# No postrm: remove and purge leave the station's files in the program
# directory (settings, journal, logs, a local database), which hold its data,
# and the group that owns them.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
