from setuptools import setup, find_packages

with open('README.md') as f:
    long_description = f.read()

setup(name='tool', version='1.0', packages=find_packages(), long_description=long_description)
