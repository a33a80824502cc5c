# CPack: one Debian package per install component, dependencies found by dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME tarvex)
set(CPACK_PACKAGE_VENDOR "Tarvex")
set(CPACK_PACKAGE_CONTACT "${TARVEX_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_COMPONENTS_ALL cli configurator)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${TARVEX_HOMEPAGE}")

set(CPACK_DEBIAN_CLI_PACKAGE_NAME tarvex-cli)
set(CPACK_DEBIAN_CLI_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_CLI_DESCRIPTION
    "configuration files for the Tarvex alert unit, on the command line
tarvex-cli reads the configuration of the Tarvex power-supply alert unit
(phone numbers, event switches, text messages) over a serial line into a
versioned JSON file, compares it, and applies such a file idempotently, with
stable exit codes and JSON results for scripts and orchestrators. An Ansible
module and example playbooks drive it on many PCs, and an hourly systemd
timer, not enabled on installation, keeps a register of sites in git.

tarvex-sim, a simulated unit on a pseudo-terminal, is included for trials
and tests. Needs no display.")

# tarvex-cli fleet keeps the register of sites with the git program; the rest of tarvex-cli
# works without it.
set(CPACK_DEBIAN_CLI_PACKAGE_RECOMMENDS "git")
# The backup timer's user, made at installation rather than at the next boot.
set(CPACK_DEBIAN_CLI_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_SOURCE_DIR}/systemd/postinst)
set(CPACK_DEBIAN_CLI_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_CONFIGURATOR_PACKAGE_NAME tarvex-configurator)
set(CPACK_DEBIAN_CONFIGURATOR_PACKAGE_SECTION electronics)
# The window is laid out for Liberation Sans; Qt draws it through a platform plugin it does not
# link, so both are named here. dpkg-shlibdeps adds the libraries it links.
set(CPACK_DEBIAN_CONFIGURATOR_PACKAGE_DEPENDS "fonts-liberation2, qt6-qpa-plugins")
set(CPACK_DEBIAN_CONFIGURATOR_DESCRIPTION
    "window to set up the Tarvex power-supply alert unit
Tarvex Configurator finds the Tarvex power-supply alert unit on a serial port
and edits its phone numbers, event switches and text messages in one window.")

include(CPack)
