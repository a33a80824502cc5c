# -*- coding: utf-8 -*-
# The controller's side of the Tarvex modules' backup option, as Ansible's network modules have
# it: the module reads the unit where it runs and hands the file back, this plugin keeps it here.
# tarvex_unit_info.py beside it is the same plugin under the other module's name.

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import os
import tempfile
import time

from ansible.errors import AnsibleActionFail
from ansible.plugins.action import ActionBase

# The register holds people's phone numbers: its folders and files are the owner's alone.
FOLDER_MODE = 0o700


def write_privately(path, text):
    """Writes text to path all at once: a reader sees the old file or the new one, never half."""
    folder = os.path.dirname(path)
    os.makedirs(folder, mode=FOLDER_MODE, exist_ok=True)
    handle, partial = tempfile.mkstemp(prefix=".%s." % os.path.basename(path), dir=folder)
    try:
        with os.fdopen(handle, "wb") as out:
            out.write(text.encode("utf-8"))
            out.flush()
            os.fsync(out.fileno())
        os.replace(partial, path)
    except BaseException:
        os.unlink(partial)
        raise


class ActionModule(ActionBase):
    def run(self, tmp=None, task_vars=None):
        result = super(ActionModule, self).run(tmp, task_vars)
        result.update(self._execute_module(module_name=self._task.action, task_vars=task_vars))
        text = result.pop("__backup__", None)
        if text is not None:
            # Kept even when the apply after it failed: it is the unit as it was before.
            try:
                result["backup_path"] = self._keep(text, task_vars)
            except (OSError, UnicodeError) as error:
                raise AnsibleActionFail("the backup could not be written: %s" % error, result=result)
        return result

    def _keep(self, text, task_vars):
        options = self._task.args.get("backup_options") or {}
        folder = options.get("dir_path")
        if folder:
            folder = os.path.expanduser(folder)
        else:
            base = self._task._role._role_path if self._task._role else self._loader.get_basedir()
            folder = os.path.join(base, "backup")
        name = options.get("filename") or "%s_config.%s" % (
            task_vars["inventory_hostname"], time.strftime("%Y-%m-%d@%H:%M:%S"))
        path = os.path.abspath(os.path.join(folder, name))
        write_privately(path, text)
        return path
