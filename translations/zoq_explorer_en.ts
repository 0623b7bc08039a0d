<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>AddPlan</name>
    <message>
        <source>无法读取</source>
        <translation>cannot be read</translation>
    </message>
    <message>
        <source>链接</source>
        <translation>link</translation>
    </message>
    <message>
        <source>特殊文件</source>
        <translation>special file</translation>
    </message>
</context>
<context>
    <name>AppText</name>
    <message>
        <source>%1B(%2字节)</source>
        <translation>%1B (%2 bytes)</translation>
    </message>
    <message>
        <source>SXC压缩</source>
        <translation>SXC compressed</translation>
    </message>
    <message>
        <source>ZIP压缩</source>
        <translation>ZIP compressed</translation>
    </message>
    <message>
        <source>ADM加密</source>
        <translation>ADM encrypted</translation>
    </message>
    <message>
        <source>未知</source>
        <translation>unknown</translation>
    </message>
    <message>
        <source> (与同名文件夹并存的文件)</source>
        <translation> (a part beside the folder of the same name)</translation>
    </message>
</context>
<context>
    <name>CommandTable</name>
    <message>
        <source>打开(&amp;O)...	Ctrl+O</source>
        <translation>&amp;Open...	Ctrl+O</translation>
    </message>
    <message>
        <source>关闭(&amp;W)	Ctrl+W</source>
        <translation>&amp;Close	Ctrl+W</translation>
    </message>
    <message>
        <source>退出(&amp;X)	Alt+F4</source>
        <translation>E&amp;xit	Alt+F4</translation>
    </message>
    <message>
        <source>全选(&amp;A)	Ctrl+A</source>
        <translation>Select &amp;All	Ctrl+A</translation>
    </message>
    <message>
        <source>复制(&amp;C)	Ctrl+C</source>
        <translation>&amp;Copy	Ctrl+C</translation>
    </message>
    <message>
        <source>查找(&amp;F)...	Alt+F</source>
        <translation>&amp;Find...	Alt+F</translation>
    </message>
    <message>
        <source>修订历史(&amp;R)</source>
        <translation>&amp;Revision History</translation>
    </message>
    <message>
        <source>统计信息(&amp;I)...</source>
        <translation>Stat&amp;istics...</translation>
    </message>
    <message>
        <source>文本方式打开(&amp;T)</source>
        <translation>Open as &amp;Text</translation>
    </message>
    <message>
        <source>二进制方式打开(&amp;B)</source>
        <translation>Open as &amp;Binary</translation>
    </message>
    <message>
        <source>使用默认程序打开(&amp;O)</source>
        <translation>&amp;Open with the Default Program</translation>
    </message>
    <message>
        <source>导出文件(&amp;E)...</source>
        <translation>&amp;Export Files...</translation>
    </message>
    <message>
        <source>导出包内数据(&amp;P)...</source>
        <translation>Export &amp;Package Data...</translation>
    </message>
    <message>
        <source>不进行解压缩或解密操作，直接导出包内文件。</source>
        <translation>Exports the parts as stored in the package, without decompressing or decrypting them.</translation>
    </message>
    <message>
        <source>查看帮助(&amp;H)...	F1</source>
        <translation>&amp;Help...	F1</translation>
    </message>
    <message>
        <source>关于 ZOQ Explorer (&amp;A)...</source>
        <translation>&amp;About ZOQ Explorer...</translation>
    </message>
    <message>
        <source>输入密钥(&amp;K)...	Ctrl+K</source>
        <translation>Enter &amp;Key...	Ctrl+K</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>编辑(&amp;E)</source>
        <translation>&amp;Edit</translation>
    </message>
    <message>
        <source>查看(&amp;V)</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>帮助(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>新建(&amp;N)...	Ctrl+N</source>
        <translation>&amp;New...	Ctrl+N</translation>
    </message>
    <message>
        <source>保存(&amp;S)	Ctrl+S</source>
        <translation>&amp;Save	Ctrl+S</translation>
    </message>
    <message>
        <source>另存为(&amp;A)...</source>
        <translation>Save &amp;As...</translation>
    </message>
    <message>
        <source>压缩整理(&amp;M)...</source>
        <translation>Co&amp;mpact...</translation>
    </message>
    <message>
        <source>重写文件, 只保留每个文件的当前内容: 历史版本被删除, 文件变小。</source>
        <translation>Rewrites the file keeping only the current content of every part: the older versions are dropped and the file gets smaller.</translation>
    </message>
    <message>
        <source>添加文件(&amp;D)...</source>
        <translation>A&amp;dd Files...</translation>
    </message>
    <message>
        <source>添加文件夹(&amp;L)...</source>
        <translation>Add Fo&amp;lder...</translation>
    </message>
    <message>
        <source>删除(&amp;R)	Delete</source>
        <translation>&amp;Remove	Delete</translation>
    </message>
    <message>
        <source>重命名(&amp;M)...	F2</source>
        <translation>Rena&amp;me...	F2</translation>
    </message>
</context>
<context>
    <name>CompareJob</name>
    <message>
        <source>无法写入临时文件: %1</source>
        <translation>Cannot write temporary files in %1</translation>
    </message>
    <message>
        <source>内存不足，无法比较</source>
        <translation>Not enough memory to compare</translation>
    </message>
</context>
<context>
    <name>EditCommands</name>
    <message>
        <source>……另有%1个</source>
        <translation>... and %1 more</translation>
    </message>
    <message>
        <source>以下%1项未添加（链接、特殊文件或无法读取）:
%2</source>
        <translation>These %1 items were not added (links, special files or unreadable):
%2</translation>
    </message>
    <message>
        <source>重命名</source>
        <translation>Rename</translation>
    </message>
    <message>
        <source>新名称:</source>
        <translation>New name:</translation>
    </message>
    <message>
        <source>新建文件失败</source>
        <translation>Creating the file failed</translation>
    </message>
    <message>
        <source>文件保存失败, 更改仍保留在窗口中。</source>
        <translation>Saving the file failed; the changes stay in the window.</translation>
    </message>
    <message>
        <source>另存为</source>
        <translation>Save As</translation>
    </message>
    <message>
        <source>ZOQ文件 (*.zoq *.pliv)</source>
        <translation>ZOQ files (*.zoq *.pliv)</translation>
    </message>
    <message>
        <source>所有文件 (*)</source>
        <translation>All files (*)</translation>
    </message>
    <message>
        <source>压缩整理将重写整个文件: 每个文件只保留当前内容, 所有历史版本被删除, 文件变小。未保存的更改一并写入。此操作无法撤销, 是否继续?</source>
        <translation>Compacting rewrites the whole file: every part keeps only its current content, all older versions are dropped and the file gets smaller. Unsaved changes are written too. This cannot be undone. Continue?</translation>
    </message>
    <message>
        <source>压缩整理</source>
        <translation>Compact</translation>
    </message>
    <message>
        <source>压缩整理失败, 文件未改变。</source>
        <translation>Compacting failed; the file is unchanged.</translation>
    </message>
    <message>
        <source>添加文件</source>
        <translation>Add Files</translation>
    </message>
    <message>
        <source>添加文件夹</source>
        <translation>Add Folder</translation>
    </message>
    <message>
        <source>没有可添加的文件</source>
        <translation>There are no files to add</translation>
    </message>
    <message>
        <source>确定要将%1个文件(%2)添加到%3吗?</source>
        <translation>Add %1 files (%2) to %3?</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>已添加%1个文件。</source>
        <translation>%1 files added.</translation>
    </message>
    <message>
        <source>正在添加文件...</source>
        <translation>Adding files...</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>正在添加文件... %1/%2 (%3)</source>
        <translation>Adding files... %1/%2 (%3)</translation>
    </message>
    <message>
        <source>确定要删除这%1个文件吗?</source>
        <translation>Delete these %1 files?</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>无法删除 %1</source>
        <translation>Cannot delete %1</translation>
    </message>
    <message>
        <source>请选择一个文件</source>
        <translation>Choose a file</translation>
    </message>
    <message>
        <source>无效的名称: %1</source>
        <translation>Not a valid name: %1</translation>
    </message>
    <message>
        <source>已存在: %1</source>
        <translation>Already there: %1</translation>
    </message>
    <message>
        <source>该文件已加密, 请先输入密钥。</source>
        <translation>This file is encrypted; enter the key first.</translation>
    </message>
    <message>
        <source>无法重命名 %1, 包未改变。</source>
        <translation>Cannot rename %1; the package is unchanged.</translation>
    </message>
    <message>
        <source>文件已存在: %1</source>
        <translation>The file exists: %1</translation>
    </message>
    <message>
        <source>%1 已存在。
要替换它吗?</source>
        <translation>%1 already exists.
Do you want to replace it?</translation>
    </message>
    <message>
        <source>以下%1个文件未能恢复原状, 作为未保存的更改保留:
%2</source>
        <translation>These %1 files could not be put back as they were and stay as unsaved changes:
%2</translation>
    </message>
    <message>
        <source>添加已取消, 包未改变。</source>
        <translation>The add was cancelled; the package is unchanged.</translation>
    </message>
    <message>
        <source>添加已取消。</source>
        <translation>The add was cancelled.</translation>
    </message>
    <message>
        <source>无法添加 %1, 包未改变。</source>
        <translation>Cannot add %1; the package is unchanged.</translation>
    </message>
    <message>
        <source>无法添加 %1。</source>
        <translation>Cannot add %1.</translation>
    </message>
</context>
<context>
    <name>ExportCommand</name>
    <message>
        <source>文件未打开</source>
        <translation>No file is open</translation>
    </message>
    <message>
        <source>没有项目被选中,是否导出所有文件夹和文件?</source>
        <translation>Nothing is selected. Export all folders and files?</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>导出失败</source>
        <translation>Export failed</translation>
    </message>
    <message>
        <source>导出已取消, 已导出%1个文件</source>
        <translation>Export cancelled, %1 files exported</translation>
    </message>
    <message>
        <source>, %1个失败</source>
        <translation>, %1 failed</translation>
    </message>
    <message>
        <source>部分导出失败</source>
        <translation>Part of the export failed</translation>
    </message>
    <message>
        <source>导出成功</source>
        <translation>Export succeeded</translation>
    </message>
    <message>
        <source>
以下部件的存储数据与校验字节不符(已损坏), 按读取的内容导出:
</source>
        <translation>
The stored data of these parts does not match its check byte (damaged); they were exported as read:
</translation>
    </message>
    <message>
        <source>导出完成</source>
        <translation>Export finished</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
</context>
<context>
    <name>ExportProgress</name>
    <message>
        <source>正在导出...</source>
        <translation>Exporting...</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>导出</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>正在导出: 第%1/%2个文件, %3/%4</source>
        <translation>Exporting: file %1 of %2, %3 of %4</translation>
    </message>
</context>
<context>
    <name>ImageLoader</name>
    <message>
        <source>无法读取解出的图片文件</source>
        <translation>Cannot read the decoded image file</translation>
    </message>
    <message>
        <source>图片文件过大</source>
        <translation>The image file is too large</translation>
    </message>
    <message>
        <source>图片尺寸过大(%1 × %2)</source>
        <translation>The image is too large (%1 × %2)</translation>
    </message>
    <message>
        <source>图片格式无法识别，或图片数据不完整、已损坏</source>
        <translation>The image format is not recognised, or the image data is incomplete or damaged</translation>
    </message>
    <message>
        <source>PSD图片数据不完整或已损坏</source>
        <translation>The PSD image data is incomplete or damaged</translation>
    </message>
    <message>
        <source>不支持每通道%1位的PSD图片(只支持8位)</source>
        <translation>PSD images with %1 bits per channel are not supported (only 8 bits)</translation>
    </message>
    <message>
        <source>不支持该颜色模式的PSD图片(只支持灰度、RGB和CMYK)</source>
        <translation>PSD images in this colour mode are not supported (only greyscale, RGB and CMYK)</translation>
    </message>
    <message>
        <source>内存不足，无法显示该图片</source>
        <translation>Not enough memory to show the image</translation>
    </message>
</context>
<context>
    <name>LanguageMenu</name>
    <message>
        <source>环境变量ZOQ_LANG指定了界面语言。所选语言在不设置ZOQ_LANG启动本程序时使用。</source>
        <translation>The environment variable ZOQ_LANG sets the interface language. The chosen language is used when the program is started without ZOQ_LANG.</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>语言(&amp;L)</source>
        <translation>&amp;Language</translation>
    </message>
    <message>
        <source>无法加载所选语言的翻译, 界面仍为中文。</source>
        <translation>The translation of the chosen language cannot be loaded; the interface stays Chinese.</translation>
    </message>
</context>
<context>
    <name>LineDiff</name>
    <message>
        <source>无法运行 diff (GNU diffutils): %1</source>
        <translation>Cannot run diff (GNU diffutils): %1</translation>
    </message>
    <message>
        <source>diff 比较失败: %1</source>
        <translation>diff failed: %1</translation>
    </message>
    <message>
        <source>无法读取 diff 的输出</source>
        <translation>Cannot read the output of diff</translation>
    </message>
</context>
<context>
    <name>MessageBox</name>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
</context>
<context>
    <name>RecoveryOffer</name>
    <message>
        <source>文件已损坏，无法打开: %1。

该文件记录了 %2 个版本，其中前 %3 个版本可以读取。是否以只读方式打开最后一个可读的版本（版本%3）？</source>
        <translation>The file is damaged and cannot be opened: %1.

It records %2 versions, of which the first %3 can be read. Open the last readable version (version %3) read-only?</translation>
    </message>
    <message>
        <source>文件已损坏</source>
        <translation>The file is damaged</translation>
    </message>
</context>
<context>
    <name>TypeTable</name>
    <message>
        <source>文件夹</source>
        <translation>Folder</translation>
    </message>
    <message>
        <source>%1文件</source>
        <translation>%1 File</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>已删除</source>
        <translation>Deleted</translation>
    </message>
    <message>
        <source>XML文件</source>
        <translation>XML File</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>浏览 ZOQ 包与 PLIV 文档，以及它们的修订历史。</source>
        <translation>Browses ZOQ packages and PLIV documents with their revision history.</translation>
    </message>
    <message>
        <source>启动时打开的包（.zoq 或 .pliv）。</source>
        <translation>The package to open at start (.zoq or .pliv).</translation>
    </message>
    <message>
        <source>只能打开一个包。</source>
        <translation>Only one package can be opened.</translation>
    </message>
</context>
<context>
    <name>zoqe::AboutDialog</name>
    <message>
        <source>文本视图使用 QScintilla 编辑组件（Scintilla 的 Qt 移植）。

Scintilla: Copyright 1998-2021 by Neil Hodgson &lt;neilh@scintilla.org&gt;. All Rights Reserved. Permission to use, copy, modify, and distribute this software and its documentation for any purpose and without fee is hereby granted, provided that the above copyright notice appear in all copies and that both that copyright notice and this permission notice appear in supporting documentation.

QScintilla: Copyright (c) Riverbank Computing Limited, released under the GNU General Public License version 3.</source>
        <translation>The text view uses the QScintilla editing component (the Qt port of Scintilla).

Scintilla: Copyright 1998-2021 by Neil Hodgson &lt;neilh@scintilla.org&gt;. All Rights Reserved. Permission to use, copy, modify, and distribute this software and its documentation for any purpose and without fee is hereby granted, provided that the above copyright notice appear in all copies and that both that copyright notice and this permission notice appear in supporting documentation.

QScintilla: Copyright (c) Riverbank Computing Limited, released under the GNU General Public License version 3.</translation>
    </message>
    <message>
        <source>版本 </source>
        <translation>Version </translation>
    </message>
    <message>
        <source>关于 ZOQ Explorer</source>
        <translation>About ZOQ Explorer</translation>
    </message>
</context>
<context>
    <name>zoqe::AddCodesDialog</name>
    <message>
        <source>添加文件</source>
        <translation>Add Files</translation>
    </message>
    <message>
        <source>不编码</source>
        <translation>Not coded</translation>
    </message>
    <message>
        <source>ZIP压缩</source>
        <translation>ZIP compressed</translation>
    </message>
    <message>
        <source>ADM加密</source>
        <translation>ADM encrypted</translation>
    </message>
    <message>
        <source>ZIP压缩+ADM加密</source>
        <translation>ZIP compressed + ADM encrypted</translation>
    </message>
    <message>
        <source>XML文件以SXC编码</source>
        <translation>XML files as SXC</translation>
    </message>
    <message>
        <source>存储方式:</source>
        <translation>Stored as:</translation>
    </message>
    <message>
        <source>ADM加密需要密钥，请输入密钥或选择其他存储方式。</source>
        <translation>ADM encryption needs a key: enter the key or choose another way of storing.</translation>
    </message>
</context>
<context>
    <name>zoqe::CFindDialog</name>
    <message>
        <source>查找</source>
        <translation>Find</translation>
    </message>
    <message>
        <source>查找内容(&amp;N):</source>
        <translation>Fi&amp;nd what:</translation>
    </message>
    <message>
        <source>全字匹配(&amp;W)</source>
        <translation>Match &amp;whole word only</translation>
    </message>
    <message>
        <source>区分大小写(&amp;C)</source>
        <translation>Match &amp;case</translation>
    </message>
    <message>
        <source>方向</source>
        <translation>Direction</translation>
    </message>
    <message>
        <source>向上(&amp;U)</source>
        <translation>&amp;Up</translation>
    </message>
    <message>
        <source>向下(&amp;D)</source>
        <translation>&amp;Down</translation>
    </message>
    <message>
        <source>查找下一个(&amp;F)</source>
        <translation>&amp;Find Next</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>找不到&quot;%1&quot;</source>
        <translation>Cannot find &quot;%1&quot;</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
</context>
<context>
    <name>zoqe::CSelectDir</name>
    <message>
        <source>请选择目标文件夹</source>
        <translation>Choose the target folder</translation>
    </message>
    <message>
        <source>选择文件夹..</source>
        <translation>Choose Folder..</translation>
    </message>
    <message>
        <source>创建文件夹失败</source>
        <translation>Creating the folder failed</translation>
    </message>
</context>
<context>
    <name>zoqe::CZOQEDlg</name>
    <message>
        <source>筛选名称</source>
        <translation>Filter names</translation>
    </message>
    <message>
        <source>无法识别的文件格式！</source>
        <translation>Unrecognised file format!</translation>
    </message>
    <message>
        <source>无法打开高版本格式文档，请升级软件版本！</source>
        <translation>Cannot open a document of a newer format version; please upgrade the program!</translation>
    </message>
    <message>
        <source>打开文件失败！文件头数据格式错误。</source>
        <translation>Opening the file failed! The header data is malformed.</translation>
    </message>
    <message>
        <source>打开文件失败！目标文件无法访问。</source>
        <translation>Opening the file failed! The file cannot be accessed.</translation>
    </message>
    <message>
        <source>打开文件失败！</source>
        <translation>Opening the file failed!</translation>
    </message>
    <message>
        <source>打开文件失败！(%1)</source>
        <translation>Opening the file failed! (%1)</translation>
    </message>
    <message>
        <source>是否保存XML编辑结果?</source>
        <translation>Save the XML edit?</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>存在临时文件正在被外部程序打开, 是否继续（可能遗留垃圾文件）?</source>
        <translation>Temporary files are open in other programs. Continue (files may be left behind)?</translation>
    </message>
    <message>
        <source>是否保存当前PLIV文件?</source>
        <translation>Save the current PLIV file?</translation>
    </message>
    <message>
        <source>所有文件 (*)</source>
        <translation>All files (*)</translation>
    </message>
    <message>
        <source>文件保存失败, 是否关闭文件?</source>
        <translation>Saving the file failed. Close the file?</translation>
    </message>
    <message>
        <source>ZOQ文件 (*.zoq *.pliv)</source>
        <translation>ZOQ files (*.zoq *.pliv)</translation>
    </message>
    <message>
        <source>以只读方式打开(&amp;R)</source>
        <translation>Open &amp;read-only</translation>
    </message>
    <message>
        <source>文件未打开</source>
        <translation>No file is open</translation>
    </message>
    <message>
        <source>包内没有此项目: %1</source>
        <translation>The package holds no such item: %1</translation>
    </message>
    <message>
        <source>文件夹</source>
        <translation>Folder</translation>
    </message>
    <message>
        <source>版本数</source>
        <translation>Versions</translation>
    </message>
    <message>
        <source>版本号</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>版本%1没有文件记录</source>
        <translation>Version %1 has no part records</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>类型</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>包内路径</source>
        <translation>Path in package</translation>
    </message>
    <message>
        <source>其他版本号</source>
        <translation>Other versions</translation>
    </message>
    <message>
        <source>已删除</source>
        <translation>Deleted</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>State</translation>
    </message>
    <message>
        <source>可跳过数据</source>
        <translation>Skippable data</translation>
    </message>
    <message>
        <source>包内大小</source>
        <translation>Stored size</translation>
    </message>
    <message>
        <source>无法读取该文件的记录(%1)</source>
        <translation>Cannot read the records of this file (%1)</translation>
    </message>
    <message>
        <source>查看版本%1</source>
        <translation>Show version %1</translation>
    </message>
    <message>
        <source>该文件在版本%1中已删除</source>
        <translation>This file was deleted in version %1</translation>
    </message>
    <message>
        <source>共%1个</source>
        <translation>%1</translation>
    </message>
    <message>
        <source>文件夹数</source>
        <translation>Folders</translation>
    </message>
    <message>
        <source>文件数</source>
        <translation>Files</translation>
    </message>
    <message>
        <source>文件名</source>
        <translation>File name</translation>
    </message>
    <message>
        <source>只读</source>
        <translation>Read-only</translation>
    </message>
    <message>
        <source>打开方式</source>
        <translation>Opened</translation>
    </message>
    <message>
        <source>该文件已删除</source>
        <translation>This file is deleted</translation>
    </message>
    <message>
        <source>请选择一个文件</source>
        <translation>Choose a file</translation>
    </message>
    <message>
        <source>%1 [版本%2，只读]</source>
        <translation>%1 [version %2, read-only]</translation>
    </message>
    <message>
        <source>是否用拖入的文件新建一个包?</source>
        <translation>Make a new package of the dropped files?</translation>
    </message>
    <message>
        <source>以只读方式打开的文件不能添加文件</source>
        <translation>Files cannot be added to a file opened read-only</translation>
    </message>
    <message>
        <source>未保存的更改</source>
        <translation>Unsaved changes</translation>
    </message>
    <message>
        <source>与同名文件夹并存</source>
        <translation>Beside a folder of the same name</translation>
    </message>
</context>
<context>
    <name>zoqe::CZOQEInfoDlg</name>
    <message>
        <source>空间占用情况统计</source>
        <translation>Space Usage Statistics</translation>
    </message>
    <message>
        <source>类型</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>个数</source>
        <translation>Count</translation>
    </message>
    <message>
        <source>总大小(字节)</source>
        <translation>Total size (bytes)</translation>
    </message>
    <message>
        <source>百分比</source>
        <translation>Share</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>zoqe::CZOQEPathDlg</name>
    <message>
        <source>请输入密钥(建议16进制空格分隔，形如&quot;FF FE 0D 0A&quot;)</source>
        <translation>Enter the key (preferably hexadecimal bytes separated by spaces, like &quot;FF FE 0D 0A&quot;)</translation>
    </message>
    <message>
        <source>输入密钥</source>
        <translation>Enter Key</translation>
    </message>
    <message>
        <source>显示密钥(&amp;S)</source>
        <translation>&amp;Show key</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>1.1 或更早(加密数据不带IV头)</source>
        <translation>1.1 or earlier (encrypted data without an IV header)</translation>
    </message>
    <message>
        <source>1.2 或更新(加密数据以16字节IV头开始)</source>
        <translation>1.2 or later (encrypted data begins with a 16-byte IV header)</translation>
    </message>
    <message>
        <source>文档版本(&amp;V):</source>
        <translation>Document &amp;version:</translation>
    </message>
    <message>
        <source>没有十六进制数字：将使用长度为0的密钥</source>
        <translation>No hexadecimal digits: a key of length 0 will be used</translation>
    </message>
    <message>
        <source>将使用%1个字节：%2</source>
        <translation>%1 bytes will be used: %2</translation>
    </message>
    <message>
        <source>将使用%1个字节(勾选“显示密钥”可查看)</source>
        <translation>%1 bytes will be used (tick &quot;Show key&quot; to see them)</translation>
    </message>
    <message>
        <source>注意：有超过两位的连续十六进制数字，每串只取了最后两位。请每个字节写两位，字节之间用空格分隔。</source>
        <translation>Note: some runs of hexadecimal digits are longer than two; only the last two of each run were taken. Write two digits per byte and separate the bytes with spaces.</translation>
    </message>
    <message>
        <source>注意：超过%1个字节的部分被忽略。</source>
        <translation>Note: everything beyond %1 bytes is ignored.</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
</context>
<context>
    <name>zoqe::CompareWindow</name>
    <message>
        <source>上一处(&amp;P)</source>
        <translation>&amp;Previous</translation>
    </message>
    <message>
        <source>下一处(&amp;N)</source>
        <translation>&amp;Next</translation>
    </message>
    <message>
        <source>比较 %1</source>
        <translation>Compare %1</translation>
    </message>
    <message>
        <source>（无此文件）</source>
        <translation> (no such file)</translation>
    </message>
    <message>
        <source>两个版本中都没有此文件</source>
        <translation>Neither version has this file</translation>
    </message>
    <message>
        <source>无法读取%1: %2</source>
        <translation>Cannot read %1: %2</translation>
    </message>
    <message>
        <source>二进制文件相同</source>
        <translation>Binary files are the same</translation>
    </message>
    <message>
        <source>二进制文件不同</source>
        <translation>Binary files differ</translation>
    </message>
    <message>
        <source>内容相同</source>
        <translation>Same content</translation>
    </message>
    <message>
        <source>文件太大，无法并排显示</source>
        <translation>Too large to show side by side</translation>
    </message>
    <message>
        <source>%1 字节，SHA-256 %2</source>
        <translation>%1 bytes, SHA-256 %2</translation>
    </message>
    <message>
        <source>无此文件</source>
        <translation>no such file</translation>
    </message>
    <message>
        <source>%1 处不同</source>
        <translation>%1 differences</translation>
    </message>
    <message>
        <source>正在读取……</source>
        <translation>Reading…</translation>
    </message>
    <message>
        <source>比较已取消</source>
        <translation>Comparison cancelled</translation>
    </message>
    <message>
        <source>正在读取 %1……已读取 %2</source>
        <translation>Reading %1… %2 read</translation>
    </message>
</context>
<context>
    <name>zoqe::DragOut</name>
    <message>
        <source>导出失败</source>
        <translation>Export failed</translation>
    </message>
    <message>
        <source>部分导出失败</source>
        <translation>Part of the export failed</translation>
    </message>
</context>
<context>
    <name>zoqe::FindPane</name>
    <message>
        <source>正则表达式</source>
        <translation>Regular expression</translation>
    </message>
    <message>
        <source>忽略大小写(&amp;I)</source>
        <translation>&amp;Ignore case</translation>
    </message>
    <message>
        <source>查找(&amp;S)</source>
        <translation>&amp;Search</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>文件 / 行</source>
        <translation>File / line</translation>
    </message>
    <message>
        <source>内容</source>
        <translation>Content</translation>
    </message>
    <message>
        <source>在包中查找:</source>
        <translation>Find in package:</translation>
    </message>
    <message>
        <source>文件未打开</source>
        <translation>No file is open</translation>
    </message>
    <message>
        <source>请输入要查找的内容</source>
        <translation>Enter what to find</translation>
    </message>
    <message>
        <source>表达式有误: %1</source>
        <translation>Bad expression: %1</translation>
    </message>
    <message>
        <source>无法查找: %1</source>
        <translation>Cannot search: %1</translation>
    </message>
    <message>
        <source>%1 行</source>
        <translation>%1 lines</translation>
    </message>
    <message>
        <source>正在查找… %1/%2 个文件，找到 %3 处</source>
        <translation>Searching… %1/%2 files, %3 found</translation>
    </message>
    <message>
        <source>已停止: 查找了 %1/%2 个文件，找到 %3 处</source>
        <translation>Stopped: searched %1/%2 files, %3 found</translation>
    </message>
    <message>
        <source>查找了 %1 个文件，在 %2 个文件中找到 %3 处</source>
        <translation>Searched %1 files, found %3 in %2 files</translation>
    </message>
    <message>
        <source>（结果过多，只列出前 %1 处）</source>
        <translation> (too many results, only the first %1 listed)</translation>
    </message>
    <message>
        <source>；%1 个文件无法查找</source>
        <translation>; %1 files could not be searched</translation>
    </message>
</context>
<context>
    <name>zoqe::HistoryTools</name>
    <message>
        <source>与最新版本比较(&amp;N)</source>
        <translation>Compare with &amp;newest version</translation>
    </message>
    <message>
        <source>与其他版本比较(&amp;V)...</source>
        <translation>Compare with another &amp;version...</translation>
    </message>
    <message>
        <source>恢复此版本(&amp;R)</source>
        <translation>&amp;Restore this version</translation>
    </message>
    <message>
        <source>在包中查找(&amp;G)...	Ctrl+Shift+F</source>
        <translation>Find in packa&amp;ge...	Ctrl+Shift+F</translation>
    </message>
    <message>
        <source>最新版本</source>
        <translation>Newest version</translation>
    </message>
    <message>
        <source>版本%1</source>
        <translation>Version %1</translation>
    </message>
    <message>
        <source>无法读取该文件的记录: %1</source>
        <translation>Cannot read the records of this file: %1</translation>
    </message>
    <message>
        <source>该文件只有一个版本</source>
        <translation>This file has only one version</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>比较版本</source>
        <translation>Compare versions</translation>
    </message>
    <message>
        <source>将 %1（%2）与以下版本比较:</source>
        <translation>Compare %1 (%2) with:</translation>
    </message>
    <message>
        <source>文件以只读方式打开，无法恢复版本</source>
        <translation>The file is open read-only; versions cannot be restored</translation>
    </message>
    <message>
        <source>版本%1中没有此文件: %2</source>
        <translation>Version %1 has no such file: %2</translation>
    </message>
    <message>
        <source>无法恢复 %1 的版本%2: %3</source>
        <translation>Cannot restore version %2 of %1: %3</translation>
    </message>
    <message>
        <source>%1 的最新内容与版本%2相同，无需恢复</source>
        <translation>The newest content of %1 is the same as in version %2; nothing to restore</translation>
    </message>
    <message>
        <source>是否保存当前PLIV文件?</source>
        <translation>Save the current PLIV file?</translation>
    </message>
    <message>
        <source>文件保存失败: %1</source>
        <translation>Saving the file failed: %1</translation>
    </message>
</context>
<context>
    <name>zoqe::ItemListModel</name>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>大小</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>类型</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>压缩/加密</source>
        <translation>Encoding</translation>
    </message>
    <message>
        <source>版本数</source>
        <translation>Versions</translation>
    </message>
    <message>
        <source>版本号</source>
        <translation>Version</translation>
    </message>
</context>
<context>
    <name>zoqe::ItemViewer</name>
    <message>
        <source>打开包内文件失败</source>
        <translation>Opening the part failed</translation>
    </message>
    <message>
        <source>不支持编辑该文件。</source>
        <translation>This file cannot be edited.</translation>
    </message>
    <message>
        <source>“%1”没有扩展名，无法确定查看方式。</source>
        <translation>&quot;%1&quot; has no extension; cannot tell how to show it.</translation>
    </message>
    <message>
        <source>无法按扩展名“.%1”确定查看方式。</source>
        <translation>Cannot tell from the extension &quot;.%1&quot; how to show the file.</translation>
    </message>
    <message>
        <source>无法在工作文件夹中创建临时文件。</source>
        <translation>Cannot create a temporary file in the work folder.</translation>
    </message>
    <message>
        <source>正在读取“%1”……</source>
        <translation>Reading &quot;%1&quot;...</translation>
    </message>
    <message>
        <source>原始大小</source>
        <translation>Original size</translation>
    </message>
    <message>
        <source>“%1”已加密，需要输入密钥才能查看。</source>
        <translation>&quot;%1&quot; is encrypted; enter the key to see it.</translation>
    </message>
    <message>
        <source>无法解码“%1”%2：密钥可能不正确，或数据已损坏。</source>
        <translation>Cannot decode &quot;%1&quot; %2: the key may be wrong, or the data is damaged.</translation>
    </message>
    <message>
        <source>无法解码“%1”%2：数据可能已损坏。</source>
        <translation>Cannot decode &quot;%1&quot; %2: the data may be damaged.</translation>
    </message>
    <message>
        <source>该文件已加密，是否现在输入密钥?</source>
        <translation>This file is encrypted. Enter the key now?</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>无法显示图片“%1”：%2。</source>
        <translation>Cannot show the image &quot;%1&quot;: %2.</translation>
    </message>
    <message>
        <source>图片尺寸</source>
        <translation>Image size</translation>
    </message>
    <message>
        <source>“%1”太大(%2)，无法在此显示。</source>
        <translation>&quot;%1&quot; is too large (%2) to show here.</translation>
    </message>
    <message>
        <source>“%1”中的XML注释没有结束标记“--&gt;”，无法按XML排版显示。</source>
        <translation>An XML comment in &quot;%1&quot; has no end mark &quot;--&gt;&quot;; it cannot be laid out as XML.</translation>
    </message>
    <message>
        <source>(注释从第%1行开始)</source>
        <translation> (the comment starts on line %1)</translation>
    </message>
    <message>
        <source>“%1”解密后不是有效的UTF-8文本，密钥可能不正确。</source>
        <translation>&quot;%1&quot; is not valid UTF-8 text after decryption; the key may be wrong.</translation>
    </message>
    <message>
        <source>该文件含有编辑后无法原样保存的内容(NUL字符或无效的UTF-16)，以只读方式打开。</source>
        <translation>This file holds content that could not be saved unchanged after editing (NUL characters or invalid UTF-16); it is opened read-only.</translation>
    </message>
    <message>
        <source>输入密钥(&amp;K)...</source>
        <translation>Enter &amp;Key...</translation>
    </message>
    <message>
        <source>以文本方式查看(&amp;T)</source>
        <translation>Show as &amp;Text</translation>
    </message>
    <message>
        <source>以十六进制查看(&amp;H)</source>
        <translation>Show as &amp;Hexadecimal</translation>
    </message>
    <message>
        <source>以十六进制查看存储的数据(&amp;H)</source>
        <translation>Show the Stored Data as &amp;Hexadecimal</translation>
    </message>
    <message>
        <source>用默认程序打开(&amp;D)</source>
        <translation>Open with the &amp;Default Program</translation>
    </message>
    <message>
        <source>第%1行，第%2列</source>
        <translation>line %1, column %2</translation>
    </message>
    <message>
        <source>文件以只读方式打开，无法保存XML编辑结果。</source>
        <translation>The file is open read-only; the XML edit cannot be saved.</translation>
    </message>
    <message>
        <source>XML编辑结果不是格式正确的XML，未保存。
%1：%2</source>
        <translation>The edited XML is not well-formed and was not saved.
%1: %2</translation>
    </message>
    <message>
        <source>该文件已加密，请先输入密钥，再保存XML编辑结果。</source>
        <translation>This file is encrypted: enter the key first, then save the XML edit.</translation>
    </message>
    <message>
        <source>：</source>
        <translation>: </translation>
    </message>
    <message>
        <source>XML编辑结果不符合该文件的二进制模式，无法保存。(%1)</source>
        <translation>The edited XML does not fit the file&apos;s binary schema and cannot be saved. (%1)</translation>
    </message>
    <message>
        <source>保存XML编辑结果失败。(%1)</source>
        <translation>Saving the XML edit failed. (%1)</translation>
    </message>
    <message>
        <source>无法设置文档版本。(%1)</source>
        <translation>Cannot set the document version. (%1)</translation>
    </message>
    <message>
        <source>存储数据与校验字节不符(已损坏)</source>
        <translation>The stored data does not match its check byte (damaged)</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
</context>
<context>
    <name>zoqe::NewPackageDialog</name>
    <message>
        <source>新建</source>
        <translation>New</translation>
    </message>
    <message>
        <source>新建文件</source>
        <translation>New file</translation>
    </message>
    <message>
        <source>浏览(&amp;B)...</source>
        <translation>&amp;Browse...</translation>
    </message>
    <message>
        <source>ZOQ包</source>
        <translation>ZOQ package</translation>
    </message>
    <message>
        <source>PLIV文档 (Full)</source>
        <translation>PLIV document (Full)</translation>
    </message>
    <message>
        <source>PLIV文档 (M)</source>
        <translation>PLIV document (M)</translation>
    </message>
    <message>
        <source>PLIV文档 (P)</source>
        <translation>PLIV document (P)</translation>
    </message>
    <message>
        <source>PLIV文档 (A)</source>
        <translation>PLIV document (A)</translation>
    </message>
    <message>
        <source>文件名:</source>
        <translation>File name:</translation>
    </message>
    <message>
        <source>文档类型:</source>
        <translation>Document type:</translation>
    </message>
    <message>
        <source>文档版本:</source>
        <translation>Document version:</translation>
    </message>
    <message>
        <source>ZOQ文件 (*.zoq *.pliv)</source>
        <translation>ZOQ files (*.zoq *.pliv)</translation>
    </message>
    <message>
        <source>所有文件 (*)</source>
        <translation>All files (*)</translation>
    </message>
    <message>
        <source>请输入文件名</source>
        <translation>Enter a file name</translation>
    </message>
    <message>
        <source>文件已存在: %1</source>
        <translation>The file exists: %1</translation>
    </message>
    <message>
        <source>文件夹不存在: %1</source>
        <translation>The folder does not exist: %1</translation>
    </message>
</context>
</TS>
